# Tests of the instance subsystem.
verrin_core_test(instance_core_tests instance/StoreRegionTest.cpp)
verrin_qt_test(instance_qt_tests instance/CSharedMemoryTest.cpp instance/ProfileSessionTest.cpp)
