verrin_core_test(sendcmd_rules_tests ${CMAKE_CURRENT_LIST_DIR}/sendcmd_rules_test.cpp)
