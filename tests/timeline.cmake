# The demo timeline against a recording of what it does.
tambir_test(test_timeline SOURCES app_timeline_test.cpp LIBS navek device_null content_files)
target_include_directories(test_timeline PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/support)
