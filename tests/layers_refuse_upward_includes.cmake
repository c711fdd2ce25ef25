# cmake -DSOURCE_DIR=<tree> -P layers_refuse_upward_includes.cmake
# Runs the layer check on a tree whose engine includes the panel's model and
# passes only when the check fails and names that include.
execute_process(
  COMMAND ${CMAKE_COMMAND} -DTOP=${CMAKE_CURRENT_LIST_DIR}/layers-probe -P ${SOURCE_DIR}/cmake/CheckLayers.cmake
  RESULT_VARIABLE result
  OUTPUT_VARIABLE output
  ERROR_VARIABLE output)
if(result EQUAL 0)
  message(FATAL_ERROR "an engine source including panel/PanelEngine.h passed the layer check")
endif()
string(FIND "${output}" "src/engine/UpwardProbe.h (engine) includes \"panel/PanelEngine.h\" (panel)" found)
if(found EQUAL -1)
  message(FATAL_ERROR "the check failed for another reason:\n${output}")
endif()
message(STATUS "refused as expected")
