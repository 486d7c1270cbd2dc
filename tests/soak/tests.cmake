# The fault soak: the main window and the verrin program against the virtual
# module while faults are injected. Each test runs for a short while here;
# scripts/soak.sh runs them longer (VERRIN_SOAK_SECONDS).
verrin_qt_test(soak_tests soak/soak_test.cpp)
add_dependencies(soak_tests verrin verrin-sim)
find_package(ZLIB REQUIRED)
target_link_libraries(soak_tests PRIVATE ZLIB::ZLIB)
