# Fill rate and triangle rate of the software card (run by hand from a Release build).
add_executable(bench_softcard ${CMAKE_CURRENT_SOURCE_DIR}/bench_softcard.cpp)
target_link_libraries(bench_softcard PRIVATE platform_softcard benchmark::benchmark)

# The card side by side with Mesa's llvmpipe (EGL surfaceless, GLES2) on the same triangles; run
# by hand. Built when the EGL and GLES2 development files are there (scripts/deps.sh installs them).
pkg_check_modules(EGL_GLES IMPORTED_TARGET egl glesv2)
if(EGL_GLES_FOUND)
  add_executable(card_vs_llvmpipe ${CMAKE_CURRENT_SOURCE_DIR}/card_vs_llvmpipe.cpp)
  target_link_libraries(card_vs_llvmpipe PRIVATE platform_softcard PkgConfig::EGL_GLES)
endif()
