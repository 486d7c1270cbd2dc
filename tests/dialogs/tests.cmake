# Port setup, port discovery and screen colours.
verrin_core_test(setup_core_tests
  ${CMAKE_CURRENT_SOURCE_DIR}/dialogs/setup_port_list_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/dialogs/color_parse_test.cpp)
verrin_qt_test(setup_dialog_tests
  ${CMAKE_CURRENT_SOURCE_DIR}/dialogs/setup_dialog_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/dialogs/color_dialog_test.cpp)
