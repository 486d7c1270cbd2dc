# The virtual module (verrin-sim) and the line emulator's timing: their parts
# in fake time, and verrin-sim itself over a real pseudo-terminal (with lrzsz's
# sb as an independent sender). The line emulator's relay is exercised by the
# cli suite (lrzsz's rb over verrin-line).
find_package(ZLIB REQUIRED) # zlib's crc32 is the independent check of the boot banner's CRC-32

add_executable(sim_parts_test
  ${CMAKE_CURRENT_LIST_DIR}/VirtualModuleTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/YmodemReceiverTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LinePacerTest.cpp)
target_link_libraries(sim_parts_test PRIVATE verrin_sim_parts GTest::gtest GTest::gtest_main)
gtest_discover_tests(sim_parts_test PROPERTIES ENVIRONMENT "${VERRIN_TEST_ENV}" DISCOVERY_TIMEOUT 30)

add_executable(sim_program_test ${CMAKE_CURRENT_LIST_DIR}/SimProgramTest.cpp)
target_link_libraries(sim_program_test PRIVATE verrin_test_support ZLIB::ZLIB GTest::gtest GTest::gtest_main)
target_compile_definitions(sim_program_test PRIVATE VERRIN_SIM_PROGRAM="$<TARGET_FILE:verrin-sim>")
add_dependencies(sim_program_test verrin-sim)
gtest_discover_tests(sim_program_test PROPERTIES ENVIRONMENT "${VERRIN_TEST_ENV}" TIMEOUT 120 DISCOVERY_TIMEOUT 30)
