# Installing Zumo as a desktop application (programs, desktop entry, AppStream metainfo, icons,
# man pages) and the vendor service with its systemd unit, and the two Debian packages CPack
# builds from those installations (scripts/package): zumo and zumo-vendor.
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

# Man pages and changelogs are installed compressed, without a time stamp (gzip -n), so the same
# sources give the same package.
set(ZUMO_DIST_GZ ${CMAKE_BINARY_DIR}/dist)
set(ZUMO_DIST_GZ_FILES)
foreach(page zumo.1 zumo-trigger.1 zumo-net.1 zumo-vendor.8 changelog)
  add_custom_command(OUTPUT ${ZUMO_DIST_GZ}/${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${ZUMO_DIST_GZ}
    COMMAND gzip -9n -c ${CMAKE_CURRENT_LIST_DIR}/${page} > ${ZUMO_DIST_GZ}/${page}.gz
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/${page} VERBATIM)
  list(APPEND ZUMO_DIST_GZ_FILES ${ZUMO_DIST_GZ}/${page}.gz)
endforeach()
add_custom_target(zumo_dist_gz ALL DEPENDS ${ZUMO_DIST_GZ_FILES})

set(zumo_doc ${CMAKE_INSTALL_DATADIR}/doc/zumo)
install(TARGETS zumo zumo-net zumo-trigger RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT zumo)
# KWin hands window images only to a program whose desktop entry names it by its full path, so
# the entry gets the prefix it is installed under (/usr in the package).
install(CODE "
  file(READ \"${CMAKE_CURRENT_LIST_DIR}/zumo.desktop\" entry)
  string(REPLACE \"\nExec=zumo\n\" \"\nExec=\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/zumo\n\" entry \"\${entry}\")
  file(WRITE \"${CMAKE_CURRENT_BINARY_DIR}/installed/zumo.desktop\" \"\${entry}\")
  file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications\" TYPE FILE
       FILES \"${CMAKE_CURRENT_BINARY_DIR}/installed/zumo.desktop\")" COMPONENT zumo)
install(FILES ${ZUMO_KWIN_SCRIPT} DESTINATION ${CMAKE_INSTALL_DATADIR}/zumo/kwin COMPONENT zumo)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/com.zumo.app.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
  COMPONENT zumo)
# GNOME Shell finds system extensions here; the user turns it on (zumo --print-config gnome).
install(DIRECTORY ${ZUMO_GNOME_EXTENSION}
  DESTINATION ${CMAKE_INSTALL_DATADIR}/gnome-shell/extensions COMPONENT zumo)
install(FILES ${ZUMO_DIST_GZ}/zumo.1.gz ${ZUMO_DIST_GZ}/zumo-trigger.1.gz ${ZUMO_DIST_GZ}/zumo-net.1.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
  COMPONENT zumo)
install(FILES ${ZUMO_ICON_DIR}/zumo.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
  COMPONENT zumo)
foreach(size ${ZUMO_ICON_SIZES})
  install(FILES ${ZUMO_ICON_DIR}/zumo-${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME zumo.png COMPONENT zumo)
endforeach()

set(vendor_doc ${CMAKE_INSTALL_DATADIR}/doc/zumo-vendor)
install(TARGETS zumo-vendor RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT vendor)
install(FILES ${ZUMO_DIST_GZ}/zumo-vendor.8.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man8 COMPONENT vendor)
# Debian 12 keeps units in /lib (its /usr merge came later), and lintian holds it to that.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/zumo-vendor.service DESTINATION /lib/systemd/system COMPONENT vendor)
install(FILES ${PROJECT_SOURCE_DIR}/vendor/sample/zumo-config.json DESTINATION ${vendor_doc}/examples
  COMPONENT vendor)

foreach(component zumo vendor)
  set(doc ${zumo_doc})
  if(component STREQUAL vendor)
    set(doc ${vendor_doc})
  endif()
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${ZUMO_DIST_GZ}/changelog.gz DESTINATION ${doc}
    COMPONENT ${component})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL zumo vendor)
set(CPACK_PACKAGE_NAME zumo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Pellwick)
set(CPACK_PACKAGE_CONTACT "Pellwick <zumo@pellwick.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://pellwick.example/zumo")
# The shared libraries come from dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEBIAN_ZUMO_PACKAGE_NAME zumo)
set(CPACK_DEBIAN_ZUMO_PACKAGE_SECTION x11)
# Qt loads its X11 and Wayland platform plugins at run time, which no library dependency names.
set(CPACK_DEBIAN_ZUMO_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_ZUMO_PACKAGE_RECOMMENDS "fonts-dejavu-core, qt6-wayland")
set(CPACK_COMPONENT_ZUMO_DESCRIPTION "keyboard window switcher for X11 and Wayland desktops
Hold Alt (or Control) and press Tab to see your windows, most recently
used first; release to bring the chosen one to the front. Search,
number keys and single-letter commands act on the selected window.
Zumo lives in the system tray.")

set(CPACK_DEBIAN_VENDOR_PACKAGE_NAME zumo-vendor)
set(CPACK_DEBIAN_VENDOR_PACKAGE_SECTION web)
set(CPACK_DEBIAN_VENDOR_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/vendor-maintscripts/postinst
  ${CMAKE_CURRENT_LIST_DIR}/vendor-maintscripts/prerm ${CMAKE_CURRENT_LIST_DIR}/vendor-maintscripts/postrm)
set(CPACK_DEBIAN_VENDOR_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_COMPONENT_VENDOR_DESCRIPTION "web service that Zumo fetches updates and settings from
Serves Zumo's remote configuration, release manifest and release files
over HTTPS, and stores the usage events Zumo sends in SQLite or
PostgreSQL. It runs as a hardened systemd service (zumo-vendor.service)
for self-hosting.")
include(CPack)
