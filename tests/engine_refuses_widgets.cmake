# cmake -DBUILD_DIR=<build> -DPROBE=<target> -P engine_refuses_widgets.cmake
# Builds a source of a GUI-free library (the probe target, compiled with that
# library's flags) that includes a widget header, and passes only when the
# build stops at that include with the no-GUI guard's own message.
execute_process(
  COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${PROBE}
  RESULT_VARIABLE result
  OUTPUT_VARIABLE output
  ERROR_VARIABLE output)
if(result EQUAL 0)
  message(FATAL_ERROR "${PROBE}: a source including <QtWidgets/QWidget> compiled")
endif()
string(FIND "${output}" "link no Qt GUI module" found)
if(found EQUAL -1)
  message(FATAL_ERROR "the build failed for another reason:\n${output}")
endif()
message(STATUS "refused as expected")
