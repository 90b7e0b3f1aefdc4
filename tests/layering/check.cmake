# Builds each layering probe and passes when every one fails for the header it must not see.
# -DBUILD_DIR=... -DPROBES=target:header,target:header
string(REPLACE "," ";" PROBES "${PROBES}")
foreach(probe ${PROBES})
  string(REPLACE ":" ";" parts ${probe})
  list(GET parts 0 target)
  list(GET parts 1 header)
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${target}
                  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(result EQUAL 0)
    message(FATAL_ERROR "${target} compiled: a lower layer can include ${header}")
  endif()
  if(NOT "${out}${err}" MATCHES "${header}: No such file")
    message(FATAL_ERROR "${target} failed for another reason:\n${out}${err}")
  endif()
  message(STATUS "${target}: ${header} is out of reach, as it must be")
endforeach()
