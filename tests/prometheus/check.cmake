# Checks the Prometheus files orva-hub ships with Debian's promtool: the
# alert rules, their unit tests (tests/prometheus/orva-hub-alerts.test.yml),
# and the prometheus.yml that Debian's prometheus package installs with the
# scrape job and the rule file put in as the administrator's guide says:
# the job's lines under its scrape_configs:, the rule file's under its
# rule_files:. The result is written to the build folder and checked with
# promtool check config.
#   cmake -DPROMTOOL=... -DDATA=<data/prometheus> -DTESTS=<tests/prometheus> -DWORK=<dir>
#         -DDEBIAN_CONFIG=/etc/prometheus/prometheus.yml -P check.cmake
foreach(var PROMTOOL DATA TESTS WORK DEBIAN_CONFIG)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "check.cmake needs -D${var}=...")
  endif()
endforeach()
if(NOT EXISTS ${DEBIAN_CONFIG})
  message(FATAL_ERROR "${DEBIAN_CONFIG} is missing: install Debian's prometheus package")
endif()

file(READ ${DATA}/orva-hub-scrape.yml scrape)
file(STRINGS ${DEBIAN_CONFIG} lines)
set(merged "")
set(placed "")
foreach(line IN LISTS lines)
  string(APPEND merged "${line}\n")
  if(line STREQUAL "scrape_configs:")
    string(APPEND merged "${scrape}")
    list(APPEND placed scrape_configs)
  elseif(line STREQUAL "rule_files:")
    string(APPEND merged "  - ${DATA}/orva-hub-alerts.yml\n")
    list(APPEND placed rule_files)
  endif()
endforeach()
if(NOT placed STREQUAL "rule_files;scrape_configs")
  message(FATAL_ERROR "${DEBIAN_CONFIG}: found '${placed}', not rule_files: then scrape_configs:")
endif()
file(MAKE_DIRECTORY ${WORK})
set(config ${WORK}/prometheus.yml)
file(WRITE ${config} "${merged}")

foreach(check "check;rules;${DATA}/orva-hub-alerts.yml" "test;rules;${TESTS}/orva-hub-alerts.test.yml"
              "check;config;${config}")
  execute_process(COMMAND ${PROMTOOL} ${check} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    string(REPLACE ";" " " words "${check}")
    message(FATAL_ERROR "promtool ${words}: failed (${result})")
  endif()
endforeach()
# The job is scraped as orva-hub, the name the hub's own alert asks for.
if(NOT scrape MATCHES "job_name: orva-hub\n")
  message(FATAL_ERROR "the scrape job is not named orva-hub, as OrvaHubDown expects")
endif()
