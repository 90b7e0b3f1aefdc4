# Object module: objects and keyframe rings, model files, interpolation; trxtool model end to end.
tambir_test(test_objects SOURCES objects_interp_test.cpp objects_model_test.cpp objects_ring_test.cpp
            LIBS engine_objects device_null)
tambir_test(test_trxtool_model SOURCES trxtool_model_test.cpp LIBS engine_objects device_null)
target_compile_definitions(test_trxtool_model PRIVATE TRXTOOL="$<TARGET_FILE:trxtool>")
add_dependencies(test_trxtool_model trxtool)
