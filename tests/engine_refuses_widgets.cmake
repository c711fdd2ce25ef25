# Builds an engine source that includes a widget header and passes only when
# the build stops at that include with the engine's own message.
execute_process(
  COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target orva_engine_gui_probe
  RESULT_VARIABLE result
  OUTPUT_VARIABLE output
  ERROR_VARIABLE output)
if(result EQUAL 0)
  message(FATAL_ERROR "an engine source including <QtWidgets/QWidget> compiled")
endif()
string(FIND "${output}" "The engine links no Qt GUI module" found)
if(found EQUAL -1)
  message(FATAL_ERROR "the build failed for another reason:\n${output}")
endif()
message(STATUS "refused as expected")
