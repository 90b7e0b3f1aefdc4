# The software card: pixel-exact rasterisation, textures, pixel rectangles, presentation, capture.
tambir_test(test_softcard
  SOURCES softcard_clip_test.cpp softcard_present_test.cpp softcard_raster_test.cpp
          softcard_texture_test.cpp softcard_threads_test.cpp
  LIBS platform_softcard platform_win32)
