# Installation, and the Debian packages. Every installed file belongs to one
# of two install components, each a package of its own:
#   panel  orva-panel: the window, its desktop entry, icons and fonts
#   tools  orva-tools: orva-ctl, orva-hub and the simulated projector, for
#          machines without a window system (nothing here links Qt Gui or
#          Widgets)
# `cmake --install build-release --component tools` installs one of them.

include(GNUInstallDirs)

set(ORVA_APP_ID org.orva.TkControlPanel)
set(ORVA_PACKAGING_DIR ${PROJECT_BINARY_DIR}/packaging)
set(ORVA_PACKAGE_MAINTAINER "ORVA control panel developers <packaging@orva-control.org>")

# Debian wants manual pages and changelogs compressed with gzip -9n (no name,
# no time stamp: the same bytes on every build).
# The output's folder is made first: no generator makes it for a custom
# command (Ninja does, Unix Makefiles does not).
function(orva_gzip source output)
  cmake_path(GET output PARENT_PATH output_dir)
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${output_dir}
    COMMAND sh -c "gzip -9n -c \"$1\" > \"$2\"" sh ${source} ${output}
    DEPENDS ${source} VERBATIM)
  set_property(GLOBAL APPEND PROPERTY ORVA_PACKAGING_FILES ${output})
endfunction()

# Manual pages from data/, compressed, each in the section its name ends
# with. ORVA_MAN_PAGES lists them all (the tests render each).
function(orva_install_man_pages component)
  foreach(page IN LISTS ARGN)
    string(REGEX REPLACE ".*\\." "" section ${page})
    orva_gzip(${PROJECT_SOURCE_DIR}/data/${page} ${ORVA_PACKAGING_DIR}/man/${page}.gz)
    install(FILES ${ORVA_PACKAGING_DIR}/man/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section}
            COMPONENT ${component})
  endforeach()
  set(ORVA_MAN_PAGES ${ORVA_MAN_PAGES} ${ARGN} PARENT_SCOPE)
endfunction()

# The date of this version's release, from the release list of the
# AppStream data (which must name the version): the changelogs' date.
file(READ ${PROJECT_SOURCE_DIR}/data/${ORVA_APP_ID}.metainfo.xml metainfo)
string(REPLACE "." "\\." version_pattern "${PROJECT_VERSION}")
if(NOT metainfo MATCHES "<release version=\"${version_pattern}\" date=\"([0-9]+-[0-9]+-[0-9]+)\"")
  message(FATAL_ERROR "data/${ORVA_APP_ID}.metainfo.xml has no release ${PROJECT_VERSION} with its date")
endif()
execute_process(COMMAND date -u -R -d "${CMAKE_MATCH_1} 12:00:00"
                OUTPUT_VARIABLE ORVA_RELEASE_DATE OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)

# One Debian package from one component:
#   orva_debian_package(COMPONENT PACKAGE SUMMARY DESCRIPTION [DEPENDS ...] [SUGGESTS ...])
# Its usr/share/doc/PACKAGE holds the machine-readable copyright file and a
# changelog with one entry for this version. Library dependencies come from
# dpkg-shlibdeps; DEPENDS names only what the programs load at run time
# without linking it. DESCRIPTION lines stay within 80 columns.
function(orva_debian_package component package summary description)
  cmake_parse_arguments(PARSE_ARGV 4 arg "" "" "DEPENDS;SUGGESTS")
  string(TOUPPER ${component} upper)
  set(dir ${ORVA_PACKAGING_DIR}/doc/${package})
  set(ORVA_CHANGELOG_PACKAGE ${package})
  configure_file(${PROJECT_SOURCE_DIR}/data/debian/changelog.in ${dir}/changelog @ONLY)
  orva_gzip(${dir}/changelog ${dir}/changelog.gz)
  install(FILES ${PROJECT_SOURCE_DIR}/data/debian/copyright ${dir}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})

  set(CPACK_DEBIAN_${upper}_PACKAGE_NAME ${package} PARENT_SCOPE)
  set(CPACK_COMPONENT_${upper}_DESCRIPTION "${summary}\n${description}" PARENT_SCOPE)
  string(JOIN ", " depends ${arg_DEPENDS})
  string(JOIN ", " suggests ${arg_SUGGESTS})
  set(CPACK_DEBIAN_${upper}_PACKAGE_DEPENDS "${depends}" PARENT_SCOPE)
  set(CPACK_DEBIAN_${upper}_PACKAGE_SUGGESTS "${suggests}" PARENT_SCOPE)
  set(CPACK_COMPONENTS_ALL ${CPACK_COMPONENTS_ALL} ${component} PARENT_SCOPE)
endfunction()

# orva-panel
install(TARGETS orva-panel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT panel)
install(FILES data/${ORVA_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT panel)
install(FILES data/${ORVA_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT panel)
install(FILES data/icons/orva-panel.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${ORVA_APP_ID}.svg COMPONENT panel)
foreach(size 16 22 24 32 48 64 128 256)
  install(FILES data/icons/png/orva-panel-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${ORVA_APP_ID}.png COMPONENT panel)
endforeach()
orva_install_man_pages(panel orva-panel.1)
# The window needs a Qt platform plugin (loaded, not linked) and the IPA
# Gothic fonts of its captions. It runs without the tools: it only suggests
# them (the simulated projector, for trying it without hardware).
orva_debian_package(panel orva-panel "${PROJECT_DESCRIPTION}"
  "Desktop control panel for ORVA TK500 / TK600 video projectors driven over
an RS-232C line: power, input, mute, picture and menu buttons, and a data
panel that shows the traffic and decodes status replies."
  DEPENDS qt6-qpa-plugins fonts-ipafont-gothic
  SUGGESTS orva-tools)

# orva-tools
install(TARGETS orva-ctl orva-hub orva-projector-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
# orva-hub's service (not enabled: it needs a configuration first), the
# system user it runs as, an example of its configuration, the
# administrator's guide and the schema of an exchange's result that
# orva-ctl and the HTTP door share.
install(FILES data/orva-hub.service DESTINATION lib/systemd/system COMPONENT tools)
install(FILES data/orva-tools.sysusers DESTINATION lib/sysusers.d RENAME orva-tools.conf COMPONENT tools)
# logrotate's rule for the hub's audit trail: a file under /etc, so a
# conffile (listed in the control archive's conffiles, below) that an
# administrator's changes survive upgrades in.
install(FILES data/logrotate/orva-hub DESTINATION /etc/logrotate.d COMPONENT tools)
install(FILES data/hub.toml.example DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/orva-tools/examples
        RENAME hub.toml COMPONENT tools)
install(FILES docs/hub-admin.md docs/exchange-result.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/orva-tools
        COMPONENT tools)
# What puts the hub's HTTP door into a building's monitoring and behind TLS:
# a Prometheus scrape job and alert rules, an nginx server block.
install(FILES data/prometheus/orva-hub-scrape.yml data/prometheus/orva-hub-alerts.yml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/orva-tools/examples/prometheus COMPONENT tools)
install(FILES data/nginx/orva-hub.conf data/nginx/orva-hub-locations.conf
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/orva-tools/examples/nginx COMPONENT tools)
install(FILES data/orva-ctl.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME orva-ctl COMPONENT tools)
orva_install_man_pages(tools orva-ctl.1 orva-hub.8 orva-projector-sim.1)
orva_debian_package(tools orva-tools "Command-line tools for ORVA TK500 / TK600 projectors over RS-232C"
  "orva-ctl sends ORVA TK500 / TK600 projector commands and status queries
from scripts, to one projector or many, over serial lines or network
serial servers. orva-hub owns each projector's line and shares it between
the panel, scripts and PJLink room controllers. orva-projector-sim
simulates a projector on a pseudo-terminal. None needs a window system."
  DEPENDS adduser)
# Its maintainer scripts make the hub's user and /etc/orva, restart a
# running hub after an upgrade, and clean up on purge (data/debian/).
# CPack names each script after its file: they are copied under the names
# dpkg knows.
foreach(script postinst prerm postrm)
  configure_file(data/debian/orva-tools.${script} ${ORVA_PACKAGING_DIR}/debian/orva-tools/${script} COPYONLY)
  list(APPEND CPACK_DEBIAN_TOOLS_PACKAGE_CONTROL_EXTRA ${ORVA_PACKAGING_DIR}/debian/orva-tools/${script})
endforeach()
configure_file(data/debian/orva-tools.conffiles ${ORVA_PACKAGING_DIR}/debian/orva-tools/conffiles COPYONLY)
list(APPEND CPACK_DEBIAN_TOOLS_PACKAGE_CONTROL_EXTRA ${ORVA_PACKAGING_DIR}/debian/orva-tools/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

get_property(packaging_files GLOBAL PROPERTY ORVA_PACKAGING_FILES)
add_custom_target(orva_packaging_files ALL DEPENDS ${packaging_files})

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "ORVA control panel developers")
set(CPACK_PACKAGE_CONTACT "${ORVA_PACKAGE_MAINTAINER}")
# Each package's first description line is its own (orva_debian_package);
# an empty project-wide summary keeps CPack from putting one above it.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
