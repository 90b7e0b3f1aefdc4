# Object module: objects and keyframe rings, model files, interpolation (trxtool's model commands
# are tried in test_trxtool).
tambir_test(test_objects SOURCES objects_interp_test.cpp objects_model_test.cpp objects_ring_test.cpp
            LIBS engine_objects device_null)
