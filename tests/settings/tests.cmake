# Tests of the settings subsystem.
verrin_core_test(settings_core_tests settings/RegExportTest.cpp settings/settings_defaults_test.cpp)

# Saves one profile in a loop: the second process of the concurrent-save test.
add_executable(verrin_settings_saver settings/SettingsSaver.cpp)
target_link_libraries(verrin_settings_saver PRIVATE verrin_os)
target_include_directories(verrin_settings_saver PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})

verrin_qt_test(settings_qt_tests settings/CRegistryTest.cpp)
add_dependencies(settings_qt_tests verrin_settings_saver)
target_compile_definitions(settings_qt_tests PRIVATE
  VERRIN_SETTINGS_SAVER="$<TARGET_FILE:verrin_settings_saver>")
