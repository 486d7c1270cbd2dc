# Tests of the settings subsystem.
verrin_core_test(settings_core_tests settings/RegExportTest.cpp)
verrin_qt_test(settings_qt_tests settings/CRegistryTest.cpp)
