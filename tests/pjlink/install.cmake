# Installs the PJLink client the hub's end-to-end test drives: the pinned
# package-lock.json through "npm ci", into the build folder, once.
#   cmake -DSOURCE=tests/pjlink -DTARGET=build/tests/pjlink-client -P install.cmake
file(MAKE_DIRECTORY ${TARGET})
foreach(name package.json package-lock.json drive.js)
  configure_file(${SOURCE}/${name} ${TARGET}/${name} COPYONLY)
endforeach()
execute_process(COMMAND npm ci --no-audit --no-fund --ignore-scripts
                WORKING_DIRECTORY ${TARGET} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "npm ci failed in ${TARGET} (${status})")
endif()
