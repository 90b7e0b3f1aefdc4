# Faults at start-up and during the show: demo_null with allocation failures, signals and data
# files removed on demand (tests/fault_inject.cpp), run end to end.
add_executable(demo_null_faults EXCLUDE_FROM_ALL $<TARGET_OBJECTS:platform_win32_main> fault_inject.cpp)
target_link_libraries(demo_null_faults PRIVATE platform_win32_main navek device_null)
target_link_options(demo_null_faults PRIVATE
  "LINKER:--wrap=malloc,--wrap=calloc,--wrap=realloc,--wrap=fopen,--wrap=open"
  "LINKER:--wrap=_Z7DevOpenP6HWND__iii,--wrap=_Z7DevFlipi,--wrap=_Z12timeSetEventjjPFvjjmmmEmj")

tambir_test(test_program_faults SOURCES faults_program_test.cpp
            LIBS engine_textures engine_objects device_null content_files)
target_compile_definitions(test_program_faults PRIVATE DEMO_NULL_FAULTS="$<TARGET_FILE:demo_null_faults>"
                           DEMO_NULL="$<TARGET_FILE:demo_null>")
add_dependencies(test_program_faults demo_null_faults demo_null)
target_include_directories(test_program_faults PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/support)
