# The capture: output files read back through FFmpeg's libraries, a paced program on virtual
# time, and the two programs capturing the test data set.
tambir_test(test_capture SOURCES capture_test.cpp
            LIBS platform_capture platform_softcard platform_audio content_files PkgConfig::FFMPEG)
target_include_directories(test_capture PRIVATE ${CMAKE_SOURCE_DIR}/platform/capture)

tambir_test(test_program_capture SOURCES capture_program_test.cpp
            LIBS engine_textures engine_objects device_null content_files PkgConfig::FFMPEG)
target_compile_definitions(test_program_capture PRIVATE DEMO_D3D="$<TARGET_FILE:demo_d3d>"
                           DEMO_GLIDE="$<TARGET_FILE:demo_glide>")
add_dependencies(test_program_capture demo_d3d demo_glide)
