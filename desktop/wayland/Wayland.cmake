# The Wayland backend: the wlr protocols' client code generated from the XML shipped beside it
# (Debian 12's wayland-protocols lacks the wlr ones), xdg-shell for the layer shell's popups.
enable_language(C)
pkg_check_modules(WAYLAND REQUIRED IMPORTED_TARGET wayland-client xkbcommon)
pkg_get_variable(WAYLAND_PROTOCOLS_DIR wayland-protocols pkgdatadir)
find_program(WAYLAND_SCANNER wayland-scanner REQUIRED)
set(zumo_wayland_generated ${CMAKE_BINARY_DIR}/wayland-protocols)
file(MAKE_DIRECTORY ${zumo_wayland_generated})
set(zumo_wayland_protocol_sources)
foreach(xml
    ${PROJECT_SOURCE_DIR}/desktop/wayland/protocols/wlr-foreign-toplevel-management-unstable-v1.xml
    ${PROJECT_SOURCE_DIR}/desktop/wayland/protocols/wlr-layer-shell-unstable-v1.xml
    ${WAYLAND_PROTOCOLS_DIR}/stable/xdg-shell/xdg-shell.xml)
  get_filename_component(base ${xml} NAME_WE)
  add_custom_command(
    OUTPUT ${zumo_wayland_generated}/${base}-client.h ${zumo_wayland_generated}/${base}.c
    COMMAND ${WAYLAND_SCANNER} client-header ${xml} ${zumo_wayland_generated}/${base}-client.h
    COMMAND ${WAYLAND_SCANNER} private-code ${xml} ${zumo_wayland_generated}/${base}.c
    DEPENDS ${xml} VERBATIM)
  list(APPEND zumo_wayland_protocol_sources ${zumo_wayland_generated}/${base}-client.h
    ${zumo_wayland_generated}/${base}.c)
endforeach()
zumo_library(zumo_wayland desktop/wayland zumo_panel zumo_control zumo_platform Qt6::Gui Qt6::DBus PkgConfig::WAYLAND)
target_sources(zumo_wayland PRIVATE ${zumo_wayland_protocol_sources})
target_include_directories(zumo_wayland PRIVATE ${zumo_wayland_generated})
# The script Zumo loads into KWin, where the program finds it: share/zumo/kwin/ beside bin/ once
# installed (dist/Package.cmake), and the same place relative to app/zumo in the build tree.
set(ZUMO_KWIN_SCRIPT ${PROJECT_SOURCE_DIR}/desktop/wayland/kwin/zumo-bridge.js)
configure_file(${ZUMO_KWIN_SCRIPT} ${CMAKE_BINARY_DIR}/share/zumo/kwin/zumo-bridge.js COPYONLY)
