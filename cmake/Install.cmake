# Installation as a Linux desktop application, and the Debian package.

include(GNUInstallDirs)

set(ORVA_APP_ID org.orva.TkControlPanel)

install(TARGETS orva-panel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS orva-ctl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES data/orva-ctl.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME orva-ctl)
if(TARGET orva-projector-sim)
  install(TARGETS orva-projector-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

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
foreach(page orva-panel.1 orva-projector-sim.1 orva-ctl.1)
  if(EXISTS ${PROJECT_SOURCE_DIR}/data/${page})
    install(FILES data/${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orva-panel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "ORVA control panel developers")
set(CPACK_PACKAGE_CONTACT "ORVA control panel developers <orva-panel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
    "Desktop control panel for ORVA TK500 / TK600 video projectors driven over an RS-232C line,\nwith a command-line tool for scripts (orva-ctl) and a simulated projector for trying them\nwithout hardware.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libqt6serialport6 (>= 6.4), libqt6network6 (>= 6.4), qt6-qpa-plugins, fonts-ipafont-gothic")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
