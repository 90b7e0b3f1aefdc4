# Text overlay tests, against the recording null device.
tambir_test(test_overlay SOURCES overlay_text_test.cpp LIBS engine_overlay device_null texture_record)
