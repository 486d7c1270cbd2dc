# Tests of the settings subsystem.
verrin_core_test(settings_core_tests settings/RegExportTest.cpp settings/SettingsStoreTest.cpp)
