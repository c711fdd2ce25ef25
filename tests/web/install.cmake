# Installs the browser driver the hub's end-to-end test runs against the web
# panel: the pinned package-lock.json through "npm ci", into the build folder.
# playwright-core downloads no browser; the driver runs Debian's chromium.
#   cmake -DSOURCE=tests/web -DTARGET=build/tests/web-driver -P install.cmake
file(MAKE_DIRECTORY ${TARGET})
foreach(name package.json package-lock.json drive-panel.js)
  configure_file(${SOURCE}/${name} ${TARGET}/${name} COPYONLY)
endforeach()
execute_process(COMMAND npm ci --no-audit --no-fund --ignore-scripts
                WORKING_DIRECTORY ${TARGET} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "npm ci failed in ${TARGET} (${status})")
endif()
