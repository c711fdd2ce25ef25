# Installs a test's npm client from its pinned package-lock.json through
# "npm ci", into the build folder, once per run of the fixture.
#   cmake -DSOURCE=tests/web -DTARGET=build/tests/web-driver
#         "-DFILES=package.json;package-lock.json;drive-panel.js" -P npm-ci.cmake
file(MAKE_DIRECTORY ${TARGET})
foreach(name ${FILES})
  configure_file(${SOURCE}/${name} ${TARGET}/${name} COPYONLY)
endforeach()
# --ignore-scripts: nothing runs at install time (playwright-core, for one,
# downloads no browser; the driver runs Debian's chromium).
execute_process(COMMAND npm ci --no-audit --no-fund --ignore-scripts
                WORKING_DIRECTORY ${TARGET} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "npm ci failed in ${TARGET} (${status})")
endif()
