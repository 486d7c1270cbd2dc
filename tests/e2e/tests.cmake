# End-to-end tests of the verrin program as users run it: build/verrin on a
# private Xvfb display, driven by real X input (xdotool), read back through the
# pty it is connected to, its settings file, its exit status and accessibility
# (AT-SPI). Each test process starts its own display and buses.
find_package(PkgConfig REQUIRED)
pkg_check_modules(VERRIN_ATSPI IMPORTED_TARGET atspi-2 gobject-2.0)
pkg_check_modules(VERRIN_X11 IMPORTED_TARGET x11)
if(NOT VERRIN_ATSPI_FOUND OR NOT VERRIN_X11_FOUND)
  message(WARNING "libatspi2.0-dev or libx11-dev is missing: the window end-to-end tests are "
                  "not built (scripts/setup.sh installs them)")
  return()
endif()

add_executable(e2e_tests
  e2e/XInput.cpp
  e2e/e2e_main.cpp
  e2e/program_window_test.cpp e2e/terminal_keys_test.cpp)
target_link_libraries(e2e_tests PRIVATE PkgConfig::VERRIN_ATSPI PkgConfig::VERRIN_X11 verrin_core verrin_test_support GTest::gtest)
target_include_directories(e2e_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_definitions(e2e_tests PRIVATE VERRIN_BIN_DIR="${CMAKE_BINARY_DIR}")
set_target_properties(e2e_tests PROPERTIES AUTOMOC OFF) # no Qt here
add_dependencies(e2e_tests verrin)
gtest_discover_tests(e2e_tests PROPERTIES ENVIRONMENT "${VERRIN_TEST_ENV}" TIMEOUT 120
                     DISCOVERY_TIMEOUT 30)
