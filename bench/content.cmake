# The content builder: its heavier operators on 256x256 textures, and the whole of demo.tex.
add_executable(bench_content ${CMAKE_CURRENT_SOURCE_DIR}/bench_content.cpp)
target_link_libraries(bench_content PRIVATE content_show benchmark::benchmark)
target_compile_definitions(bench_content PRIVATE TAMBIR_FONT_DIR="${TAMBIR_FONT_DIR}")
