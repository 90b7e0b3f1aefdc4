# The demo timeline against a recording of what it does.
tambir_test(test_timeline SOURCES app_timeline_test.cpp LIBS navek device_null content_files)
