verrin_core_test(common_core_tests ${CMAKE_CURRENT_LIST_DIR}/code_page_test.cpp)
