verrin_core_test(app_core_tests
  app/terminal_text_test.cpp app/terminal_lines_test.cpp app/window_rules_test.cpp
  app/commands_test.cpp)
verrin_qt_test(app_window_tests app/main_window_test.cpp app/terminal_view_test.cpp)
verrin_qt_test(app_program_tests app/program_test.cpp)
add_dependencies(app_program_tests verrin)
verrin_qt_test(app_profile_tests app/profiles_window_test.cpp)
verrin_qt_test(app_module_tests app/module_end_to_end_test.cpp)
add_dependencies(app_module_tests verrin-sim)
