verrin_core_test(sendcmd_rules_tests ${CMAKE_CURRENT_LIST_DIR}/sendcmd_rules_test.cpp)
verrin_qt_test(sendcmd_dialog_tests ${CMAKE_CURRENT_LIST_DIR}/sendcmd_dialog_test.cpp)
