# Texture module: the LZW coder, texture libraries, PCX pictures; trxtool end to end.
file(GLOB textures_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/textures_*.cpp)
tambir_test(test_textures SOURCES ${textures_tests} LIBS engine_textures device_null)
if(TARGET trxtool)
  tambir_test(test_trxtool SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/trxtool_test.cpp
              LIBS engine_textures device_null PkgConfig::PNG)
  target_compile_definitions(test_trxtool PRIVATE TRXTOOL="$<TARGET_FILE:trxtool>")
  add_dependencies(test_trxtool trxtool)
endif()
