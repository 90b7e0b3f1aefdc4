# Fill rate and triangle rate of the software card (run by hand from a Release build).
if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/bench_softcard.cpp)
  add_executable(bench_softcard ${CMAKE_CURRENT_SOURCE_DIR}/bench_softcard.cpp)
  target_link_libraries(bench_softcard PRIVATE platform_softcard benchmark::benchmark)
endif()
