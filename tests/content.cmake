# The content builder: its operators, the data set it writes, and both programs playing it.
tambir_test(test_content_ops SOURCES content_ops_test.cpp LIBS content_ops engine_textures)

tambir_test(test_content_show SOURCES content_show_test.cpp
            LIBS content_show navek device_null)
target_compile_definitions(test_content_show PRIVATE TAMBIR_CONTENT="$<TARGET_FILE:tambir-content>"
                           SHOW_DATA_DIR="${TAMBIR_DATA_DIR}")
add_dependencies(test_content_show tambir-content show_data)

tambir_test(test_content_audio SOURCES content_audio_test.cpp LIBS content_show platform_audio PkgConfig::OPENMPT)
target_compile_definitions(test_content_audio PRIVATE SHOW_DATA_DIR="${TAMBIR_DATA_DIR}")
target_include_directories(test_content_audio PRIVATE ${CMAKE_SOURCE_DIR}/platform/audio)
add_dependencies(test_content_audio show_data)

tambir_test(test_content_program SOURCES content_program_test.cpp LIBS PkgConfig::PNG)
target_compile_definitions(test_content_program PRIVATE DEMO_D3D="$<TARGET_FILE:demo_d3d>"
                           DEMO_GLIDE="$<TARGET_FILE:demo_glide>" SHOW_DATA_DIR="${TAMBIR_DATA_DIR}")
add_dependencies(test_content_program demo_d3d demo_glide show_data)

tambir_test(test_content_mesh SOURCES content_mesh_test.cpp LIBS content_ops engine_objects)
