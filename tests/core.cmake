# Render core (trx) tests, against the recording null device.
tambir_test(test_core
  SOURCES core_math_test.cpp core_scene_test.cpp core_light_test.cpp core_render_test.cpp
  LIBS engine_core device_null)
