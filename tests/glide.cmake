# The Glide stand-in and the Glide device, and demo_glide run end to end.
tambir_test(test_glide SOURCES glide_device_test.cpp
  LIBS device_glide platform_glide platform_softcard texture_record platform_win32)
target_include_directories(test_glide PRIVATE ${CMAKE_SOURCE_DIR}/platform/softcard/include)

tambir_test(test_program_glide SOURCES glide_program_test.cpp
  LIBS engine_textures engine_objects device_null content_files)
target_compile_definitions(test_program_glide PRIVATE DEMO_GLIDE="$<TARGET_FILE:demo_glide>")
add_dependencies(test_program_glide demo_glide)

# The same small scene through both devices, for the picture comparison of test_program_glide.
foreach(dev glide d3d)
  add_executable(glide_scene_${dev} glide_scene_main.cpp)
  target_link_libraries(glide_scene_${dev} PRIVATE engine_core device_${dev} platform_softcard
                        texture_record platform_win32 platform_win32_standin)
  target_include_directories(glide_scene_${dev} PRIVATE ${CMAKE_SOURCE_DIR}/platform/softcard/include)
endforeach()
target_link_libraries(glide_scene_d3d PRIVATE platform_ddraw)
target_compile_definitions(glide_scene_glide PRIVATE SCENE_GLIDE)
target_compile_definitions(test_program_glide PRIVATE
  SCENE_GLIDE="$<TARGET_FILE:glide_scene_glide>" SCENE_D3D="$<TARGET_FILE:glide_scene_d3d>")
add_dependencies(test_program_glide glide_scene_glide glide_scene_d3d)
