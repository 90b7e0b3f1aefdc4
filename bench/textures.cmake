# Texture module: the LZW coder on 8 MB of text, texture data and random bytes.
# bench/lzw_vs_compress.sh puts the same inputs through compress -b13 / uncompress alongside.
add_executable(bench_lzw ${CMAKE_CURRENT_SOURCE_DIR}/bench_lzw.cpp)
target_link_libraries(bench_lzw PRIVATE engine_textures benchmark::benchmark)
