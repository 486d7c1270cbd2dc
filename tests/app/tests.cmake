verrin_core_test(commands_tests ${CMAKE_CURRENT_LIST_DIR}/commands_test.cpp)
