# Installation as a Linux desktop application, and the Debian package.

include(GNUInstallDirs)

set(ORVA_APP_ID org.orva.TkControlPanel)

install(TARGETS orva-panel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS orva-ctl orva-projector-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES data/orva-ctl.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME orva-ctl)

install(FILES data/${ORVA_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/${ORVA_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES data/icons/orva-panel.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${ORVA_APP_ID}.svg)
foreach(size 16 22 24 32 48 64 128 256)
  install(FILES data/icons/png/orva-panel-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${ORVA_APP_ID}.png)
endforeach()

# Debian wants manual pages and changelogs compressed with gzip -9n (no name,
# no time stamp: the same bytes on every build).
set(ORVA_PACKAGING_DIR ${PROJECT_BINARY_DIR}/packaging)
function(orva_gzip source output)
  add_custom_command(OUTPUT ${output}
    COMMAND sh -c "gzip -9n -c \"$1\" > \"$2\"" sh ${source} ${output}
    DEPENDS ${source} VERBATIM)
  set_property(GLOBAL APPEND PROPERTY ORVA_PACKAGING_FILES ${output})
endfunction()

# The manual pages, in data/ (the tests render each of them).
set(ORVA_MAN_PAGES orva-panel.1 orva-ctl.1 orva-projector-sim.1)
foreach(page IN LISTS ORVA_MAN_PAGES)
  orva_gzip(${PROJECT_SOURCE_DIR}/data/${page} ${ORVA_PACKAGING_DIR}/man/${page}.gz)
  install(FILES ${ORVA_PACKAGING_DIR}/man/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

# The package's maintainer, and the date of this version's release, taken
# from the release list of the AppStream data (which must name the version).
set(ORVA_PACKAGE_MAINTAINER "ORVA control panel developers <packaging@orva-control.org>")
file(READ ${PROJECT_SOURCE_DIR}/data/${ORVA_APP_ID}.metainfo.xml metainfo)
string(REPLACE "." "\\." version_pattern "${PROJECT_VERSION}")
if(NOT metainfo MATCHES "<release version=\"${version_pattern}\" date=\"([0-9]+-[0-9]+-[0-9]+)\"")
  message(FATAL_ERROR "data/${ORVA_APP_ID}.metainfo.xml has no release ${PROJECT_VERSION} with its date")
endif()
execute_process(COMMAND date -u -R -d "${CMAKE_MATCH_1} 12:00:00"
                OUTPUT_VARIABLE ORVA_RELEASE_DATE OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)

# usr/share/doc/PACKAGE of one package: its copyright file (machine-readable)
# and its changelog, one entry for this version.
function(orva_package_documents package)
  set(dir ${ORVA_PACKAGING_DIR}/doc/${package})
  set(ORVA_CHANGELOG_PACKAGE ${package})
  configure_file(${PROJECT_SOURCE_DIR}/data/debian/changelog.in ${dir}/changelog @ONLY)
  orva_gzip(${dir}/changelog ${dir}/changelog.gz)
  install(FILES ${PROJECT_SOURCE_DIR}/data/debian/copyright ${dir}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package})
endfunction()
orva_package_documents(orva-panel)

get_property(packaging_files GLOBAL PROPERTY ORVA_PACKAGING_FILES)
add_custom_target(orva_packaging_files ALL DEPENDS ${packaging_files})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orva-panel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "ORVA control panel developers")
set(CPACK_PACKAGE_CONTACT "${ORVA_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
# Description lines stay within 80 columns (Debian's rule).
set(CPACK_PACKAGE_DESCRIPTION
    "Desktop control panel for ORVA TK500 / TK600 video projectors driven over
an RS-232C line, with a command-line tool for scripts (orva-ctl) and a
simulated projector for trying them without hardware.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libqt6serialport6 (>= 6.4), libqt6network6 (>= 6.4), qt6-qpa-plugins, fonts-ipafont-gothic")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
