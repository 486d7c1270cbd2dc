# verrin-cli: its console texts alone, and the program against the virtual
# module and lrzsz's rb.
verrin_core_test(cli_text_tests
  ${CMAKE_CURRENT_LIST_DIR}/CliTextTest.cpp
  ${PROJECT_SOURCE_DIR}/cli/ProgressText.cpp
  ${PROJECT_SOURCE_DIR}/cli/ConsoleOutput.cpp
  ${PROJECT_SOURCE_DIR}/cli/MeshFormat.cpp)

verrin_qt_test(cli_program_tests ${CMAKE_CURRENT_LIST_DIR}/CliProgramTest.cpp)
add_dependencies(cli_program_tests verrin-cli verrin-sim verrin-line)
