# Installing like a Linux desktop program: the programs into bin/, the files a
# new working folder starts with into share/korvel/, a desktop entry, an icon
# and man pages; `cpack -G DEB` packs the same tree as a Debian package.
include(GNUInstallDirs)

set(KORVEL_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(KORVEL_STAGED_DIR ${PROJECT_BINARY_DIR}/packaging)

# The demo firmware is made by our own generator, never kept as a binary file.
# The second one has no air-flow sensor and fuels by pressure.
set(KORVEL_DEMO_FIRMWARE ${KORVEL_STAGED_DIR}/demo-firmware.bin)
set(KORVEL_DEMO_PRESSURE_FIRMWARE ${KORVEL_STAGED_DIR}/demo-firmware-pressure.bin)
add_custom_command(OUTPUT ${KORVEL_DEMO_FIRMWARE} ${KORVEL_DEMO_PRESSURE_FIRMWARE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${KORVEL_STAGED_DIR}
  COMMAND korvel-demofw ${KORVEL_DEMO_FIRMWARE} ${KORVEL_DEMO_PRESSURE_FIRMWARE}
  DEPENDS korvel-demofw
  COMMENT "Writing the demo firmware")

# Its calibration map, from the line description data/demo-map.txt.
set(KORVEL_DEMO_MAP ${KORVEL_STAGED_DIR}/demo-map.j5)
add_custom_command(OUTPUT ${KORVEL_DEMO_MAP}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${KORVEL_STAGED_DIR}
  COMMAND korvel-demomap ${KORVEL_DEMO_MAP}
  DEPENDS korvel-demomap ${PROJECT_SOURCE_DIR}/data/demo-map.txt
  COMMENT "Writing the demo calibration map")

# Man pages go in compressed, as Debian wants them.
set(KORVEL_MAN_PAGES)
foreach(page korvel korvel-cli korvel-sim korvel-launcher)
  set(gz ${KORVEL_STAGED_DIR}/${page}.1.gz)
  add_custom_command(OUTPUT ${gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${KORVEL_STAGED_DIR}
    COMMAND gzip -9nc ${KORVEL_PACKAGING_DIR}/man/${page}.1 > ${gz}
    DEPENDS ${KORVEL_PACKAGING_DIR}/man/${page}.1
    VERBATIM)
  list(APPEND KORVEL_MAN_PAGES ${gz})
endforeach()

add_custom_target(korvel_install_files ALL DEPENDS ${KORVEL_DEMO_FIRMWARE} ${KORVEL_DEMO_MAP} ${KORVEL_MAN_PAGES})

install(TARGETS korvel korvel-cli korvel-sim korvel-launcher RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES
    ${PROJECT_SOURCE_DIR}/data/config.ini ${PROJECT_SOURCE_DIR}/data/hexdata.cfg
    ${PROJECT_SOURCE_DIR}/data/errors.cfg ${PROJECT_SOURCE_DIR}/data/doNOTchange.cfg
    ${KORVEL_DEMO_FIRMWARE} ${KORVEL_DEMO_PRESSURE_FIRMWARE} ${KORVEL_DEMO_MAP}
  DESTINATION ${CMAKE_INSTALL_DATADIR}/korvel)
install(FILES ${KORVEL_PACKAGING_DIR}/korvel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${KORVEL_PACKAGING_DIR}/korvel.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${KORVEL_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The Debian package: dependencies from the shared libraries the programs link
# (dpkg-shlibdeps), plus the Qt platform plugins, which nothing links but the
# window cannot open without.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME korvel)
set(CPACK_PACKAGE_VENDOR "Korvel Online")
set(CPACK_PACKAGE_CONTACT "Korvel Online developers <korvel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "engine ECU diagnostics and tuning over a K-line adapter")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Korvel Online diagnoses and tunes the engine control unit of a petrol car while the\n"
  "engine runs. It talks KWP2000 over a K-line adapter on one serial port and reads a\n"
  "wideband lambda controller on another: live engine values, trouble codes, CSV logs\n"
  "of every frame, firmware images. The package holds the window program (korvel,\n"
  "started from the desktop entry through korvel-launcher), a command-line front end\n"
  "(korvel-cli) and a simulated ECU and wideband controller (korvel-sim) to try it\n"
  "without a car.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_STRIP_FILES ON)
include(CPack)
