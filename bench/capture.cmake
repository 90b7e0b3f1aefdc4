# Cost of capturing one frame: 5-6-5 to yuv420p and H.264, and one frame's sound in AAC (run by
# hand from a Release build).
add_executable(bench_capture ${CMAKE_CURRENT_SOURCE_DIR}/bench_capture.cpp)
target_link_libraries(bench_capture PRIVATE platform_capture benchmark::benchmark)
target_include_directories(bench_capture PRIVATE ${CMAKE_SOURCE_DIR}/platform/capture)
