verrin_core_test(sendcmd_rules_tests ${CMAKE_CURRENT_LIST_DIR}/sendcmd_rules_test.cpp)
verrin_qt_test(sendcmd_dialog_tests ${CMAKE_CURRENT_LIST_DIR}/sendcmd_dialog_test.cpp)
# Port setup, port discovery and screen colours.
verrin_core_test(setup_core_tests
  ${CMAKE_CURRENT_SOURCE_DIR}/dialogs/setup_port_list_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/dialogs/color_parse_test.cpp)
verrin_qt_test(setup_dialog_tests ${CMAKE_CURRENT_SOURCE_DIR}/dialogs/setup_dialog_test.cpp)
# Port discovery against a real pseudo-terminal.
verrin_qt_test(setup_probe_tests ${CMAKE_CURRENT_SOURCE_DIR}/dialogs/setup_port_probe_test.cpp)
target_link_libraries(setup_probe_tests PRIVATE util)
