# The software card: pixel-exact rasterisation, textures, pixel rectangles, presentation, capture.
file(GLOB softcard_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/softcard_*_test.cpp)
if(softcard_tests)
  tambir_test(test_softcard SOURCES ${softcard_tests} LIBS platform_softcard platform_win32)
endif()
