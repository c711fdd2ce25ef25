# Checks the Prometheus files orva-hub ships with Debian's promtool: the
# alert rules, their unit tests (tests/prometheus/orva-hub-alerts.test.yml),
# and a prometheus.yml made here, in the build folder, from the scrape
# snippet and the rule file, as an administrator would put them together.
#   cmake -DPROMTOOL=... -DDATA=<data/prometheus> -DTESTS=<tests/prometheus> -DWORK=<dir> -P check.cmake
foreach(var PROMTOOL DATA TESTS WORK)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "check.cmake needs -D${var}=...")
  endif()
endforeach()

file(READ ${DATA}/orva-hub-scrape.yml scrape)
file(MAKE_DIRECTORY ${WORK})
set(config ${WORK}/prometheus.yml)
file(WRITE ${config} "global:\n  evaluation_interval: 15s\nrule_files:\n  - ${DATA}/orva-hub-alerts.yml\n${scrape}")

foreach(check "check;rules;${DATA}/orva-hub-alerts.yml" "test;rules;${TESTS}/orva-hub-alerts.test.yml"
              "check;config;${config}")
  execute_process(COMMAND ${PROMTOOL} ${check} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    string(REPLACE ";" " " words "${check}")
    message(FATAL_ERROR "promtool ${words}: failed (${result})")
  endif()
endforeach()
