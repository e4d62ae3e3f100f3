# Installing Zumo as a desktop application (program, desktop entry, icons, man page) and the
# Debian package built from that installation by CPack (scripts/package).
include(GNUInstallDirs)

set(ZUMO_ICON_SIZES 16 22 24 32 48 64 128 256 512)
set(ZUMO_ICON_DIR ${CMAKE_BINARY_DIR}/icons)
set(ZUMO_ICON_FILES ${ZUMO_ICON_DIR}/zumo.svg)
foreach(size ${ZUMO_ICON_SIZES})
  list(APPEND ZUMO_ICON_FILES ${ZUMO_ICON_DIR}/zumo-${size}.png)
endforeach()
# The icon is drawn by the program's own code, so the installed files match the tray and windows.
add_custom_command(OUTPUT ${ZUMO_ICON_FILES}
  COMMAND render_icons ${ZUMO_ICON_DIR}
  DEPENDS render_icons
  COMMENT "Drawing the application icons")
add_custom_target(zumo_icons ALL DEPENDS ${ZUMO_ICON_FILES})

install(TARGETS zumo zumo-trigger RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/zumo.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/zumo.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${ZUMO_ICON_DIR}/zumo.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size ${ZUMO_ICON_SIZES})
  install(FILES ${ZUMO_ICON_DIR}/zumo-${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME zumo.png)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zumo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Pellwick)
set(CPACK_PACKAGE_CONTACT "Pellwick <zumo@pellwick.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "keyboard window switcher for the X11 desktop")
set(CPACK_PACKAGE_DESCRIPTION "Hold Alt (or Control) and press Tab to see your windows, most recently used
first; release to bring the chosen one to the front. Search, number keys and single-letter
commands act on the selected window. Zumo lives in the system tray.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://pellwick.example/zumo")
# The shared libraries come from dpkg-shlibdeps; Qt loads its X11 platform plugin at run time,
# which no library dependency names.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core")
include(CPack)
