# Capture to file.
verrin_core_test(capture_rules_tests ${CMAKE_CURRENT_SOURCE_DIR}/transfer/capture_rules_test.cpp)
verrin_qt_test(capture_file_tests ${CMAKE_CURRENT_SOURCE_DIR}/transfer/capture_file_test.cpp)
