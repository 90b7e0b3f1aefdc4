# The Glide device: a synthetic scene (beside the same scene through the Direct3D device) and
# texture downloads through a thrashing ring.
add_executable(bench_glide bench_glide.cpp)
target_link_libraries(bench_glide PRIVATE device_glide platform_glide platform_win32_standin benchmark::benchmark)
target_compile_definitions(bench_glide PRIVATE BENCH_GLIDE)
add_executable(bench_glide_d3d bench_glide.cpp)
target_link_libraries(bench_glide_d3d PRIVATE device_d3d platform_ddraw platform_win32_standin benchmark::benchmark)
