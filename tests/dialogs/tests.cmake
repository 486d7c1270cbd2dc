verrin_core_test(sendcmd_rules_tests ${CMAKE_CURRENT_LIST_DIR}/sendcmd_rules_test.cpp)
verrin_qt_test(sendcmd_dialog_tests ${CMAKE_CURRENT_LIST_DIR}/sendcmd_dialog_test.cpp)
# Port setup, port discovery and screen colours.
verrin_core_test(setup_core_tests
  ${CMAKE_CURRENT_SOURCE_DIR}/dialogs/setup_port_list_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/dialogs/color_parse_test.cpp)
verrin_qt_test(setup_dialog_tests
  ${CMAKE_CURRENT_SOURCE_DIR}/dialogs/setup_dialog_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/dialogs/color_dialog_test.cpp)
# Port discovery against real pseudo-terminals, one of them held by another
# process through QSerialPort.
add_executable(setup_port_holder ${CMAKE_CURRENT_SOURCE_DIR}/dialogs/setup_port_holder.cpp)
target_link_libraries(setup_port_holder PRIVATE Qt6::Core Qt6::SerialPort)
verrin_qt_test(setup_probe_tests ${CMAKE_CURRENT_SOURCE_DIR}/dialogs/setup_port_probe_test.cpp)
target_compile_definitions(setup_probe_tests PRIVATE
  SETUP_PORT_HOLDER="$<TARGET_FILE:setup_port_holder>")
target_link_libraries(setup_probe_tests PRIVATE util)
add_dependencies(setup_probe_tests setup_port_holder)
