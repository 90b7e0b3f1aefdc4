# The Direct3D device: the render core's temple-like scene, whole frames through the device and
# the software card (run by hand from a Release build).
add_executable(bench_d3d ${CMAKE_CURRENT_SOURCE_DIR}/bench_d3d.cpp)
target_link_libraries(bench_d3d PRIVATE engine_core device_d3d platform_ddraw platform_win32_standin benchmark::benchmark)
