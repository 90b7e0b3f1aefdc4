# Object module: drawing a morphing object, loading a keyframe model file.
add_executable(bench_objects ${CMAKE_CURRENT_SOURCE_DIR}/bench_objects.cpp)
target_link_libraries(bench_objects PRIVATE engine_objects device_null benchmark::benchmark)
