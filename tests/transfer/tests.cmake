# Tests of the transfer subsystem: the sender against a scripted receiver, and
# the loader and debug windows offscreen. The sender against lrzsz's rb is the
# cli suite's.
verrin_core_test(transfer_core_tests ${CMAKE_CURRENT_LIST_DIR}/SenderTest.cpp)

verrin_qt_test(transfer_window_tests ${CMAKE_CURRENT_LIST_DIR}/LoaderWindowTest.cpp)
# Capture to file.
verrin_core_test(capture_rules_tests ${CMAKE_CURRENT_SOURCE_DIR}/transfer/capture_rules_test.cpp)
verrin_qt_test(capture_file_tests ${CMAKE_CURRENT_SOURCE_DIR}/transfer/capture_file_test.cpp)
# A tray of modules: one module's load against the virtual module in fake
# time, and the report's rules.
verrin_core_test(tray_core_tests ${CMAKE_CURRENT_LIST_DIR}/TrayTest.cpp)
target_link_libraries(tray_core_tests PRIVATE verrin_sim_parts)
