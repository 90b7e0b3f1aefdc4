# Object module: objects and keyframe rings, model files, interpolation; trxtool model end to end.
file(GLOB objects_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/objects_*.cpp)
if(objects_tests AND TARGET engine_objects)
  tambir_test(test_objects SOURCES ${objects_tests} LIBS engine_objects device_null)
endif()
if(TARGET trxtool AND TARGET engine_objects)
  tambir_test(test_trxtool_model SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/trxtool_model_test.cpp
              LIBS engine_objects device_null)
  target_compile_definitions(test_trxtool_model PRIVATE TRXTOOL="$<TARGET_FILE:trxtool>")
  add_dependencies(test_trxtool_model trxtool)
endif()
