# Replay of the fuzzing corpus and regression inputs (tests/fuzz/); a fuzzing build adds that
# directory itself.
if(NOT TAMBIR_FUZZ)
  add_subdirectory(${CMAKE_CURRENT_SOURCE_DIR}/fuzz ${CMAKE_CURRENT_BINARY_DIR}/fuzz)
endif()
