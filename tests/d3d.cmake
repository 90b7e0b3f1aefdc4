# The DirectDraw/Direct3D stand-in and the Direct3D device; the demo_d3d program end to end.
tambir_test(test_d3d SOURCES d3d_device_test.cpp LIBS device_d3d platform_ddraw platform_softcard)
target_include_directories(test_d3d PRIVATE ${CMAKE_SOURCE_DIR}/device/d3d)

tambir_test(test_program_d3d SOURCES d3d_program_test.cpp LIBS engine_textures engine_objects device_null
            content_files)
target_compile_definitions(test_program_d3d PRIVATE DEMO_D3D="$<TARGET_FILE:demo_d3d>")
add_dependencies(test_program_d3d demo_d3d)
