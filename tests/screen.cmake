# The programs on a real X server: full screen, windows, Alt+Enter, with and without a window
# manager. Serial: each test runs its own Xvfb and a show whose title card must still stand when
# the screenshots are taken.
tambir_test(test_program_screen SERIAL SOURCES screen_program_test.cpp LIBS PkgConfig::PNG PkgConfig::X11)
target_compile_definitions(test_program_screen PRIVATE DEMO_D3D="$<TARGET_FILE:demo_d3d>"
                           DEMO_GLIDE="$<TARGET_FILE:demo_glide>" SHOW_DATA_DIR="${TAMBIR_DATA_DIR}")
add_dependencies(test_program_screen demo_d3d demo_glide show_data)
