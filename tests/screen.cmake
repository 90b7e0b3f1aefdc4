# The programs on a real X server: full screen, windows, Alt+Enter, with and without a window
# manager. Serial: each test runs its own Xvfb and a show whose title card must still stand when
# the screenshots are taken.
pkg_check_modules(SCREEN_TEST_DEPS REQUIRED IMPORTED_TARGET libpng x11)
add_executable(test_program_screen screen_program_test.cpp)
target_link_libraries(test_program_screen PRIVATE PkgConfig::SCREEN_TEST_DEPS GTest::gtest
                      GTest::gtest_main)
target_include_directories(test_program_screen PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/support)
target_compile_definitions(test_program_screen PRIVATE DEMO_D3D="$<TARGET_FILE:demo_d3d>"
                           DEMO_GLIDE="$<TARGET_FILE:demo_glide>" SHOW_DATA_DIR="${TAMBIR_DATA_DIR}")
add_dependencies(test_program_screen demo_d3d demo_glide show_data)
gtest_discover_tests(test_program_screen DISCOVERY_MODE PRE_TEST
                     PROPERTIES RUN_SERIAL TRUE TIMEOUT 120)
