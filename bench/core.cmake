# Render core benchmarks: a temple-like scene through the null device.
add_executable(bench_core ${CMAKE_CURRENT_SOURCE_DIR}/bench_core.cpp)
target_link_libraries(bench_core PRIVATE engine_core device_null benchmark::benchmark)
