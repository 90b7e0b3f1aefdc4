# Texture module: the LZW coder, texture libraries, PCX pictures; trxtool end to end (its model
# commands too).
tambir_test(test_textures SOURCES textures_lzw_test.cpp textures_pcx_test.cpp textures_texlib_test.cpp
            LIBS engine_textures device_null)
tambir_test(test_trxtool SOURCES trxtool_test.cpp LIBS engine_textures engine_objects device_null PkgConfig::PNG)
target_compile_definitions(test_trxtool PRIVATE TRXTOOL="$<TARGET_FILE:trxtool>")
add_dependencies(test_trxtool trxtool)
