# Tests of the instance subsystem.
verrin_core_test(instance_core_tests instance/StoreRegionTest.cpp)

# Plays a running instance in the tests between processes.
add_executable(verrin_instance_probe instance/InstanceProbe.cpp)
target_link_libraries(verrin_instance_probe PRIVATE verrin_os)

verrin_qt_test(instance_qt_tests instance/CSharedMemoryTest.cpp instance/ProfileSessionTest.cpp)
add_dependencies(instance_qt_tests verrin_instance_probe)
target_compile_definitions(instance_qt_tests PRIVATE
  VERRIN_INSTANCE_PROBE="$<TARGET_FILE:verrin_instance_probe>")
