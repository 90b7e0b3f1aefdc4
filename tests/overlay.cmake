# Text overlay tests, against the recording null device.
file(GLOB overlay_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/overlay_*.cpp)
tambir_test(test_overlay SOURCES ${overlay_tests} LIBS engine_overlay device_null texture_record)
