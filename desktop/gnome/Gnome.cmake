# GNOME Shell on Wayland: the backend, and Zumo's Shell extension. The extension is one bridge
# wrapped in each Shell's entry: 43 and 44 load legacy scripts, 45 and later ES modules, and no
# single file is both. Both are generated (the tests check both); the one for the Shell this
# build targets is installed.
zumo_library(zumo_gnome desktop/gnome zumo_wayland Qt6::DBus)

set(ZUMO_GNOME_EXTENSION_SOURCE ${PROJECT_SOURCE_DIR}/desktop/gnome/extension)
set(ZUMO_GNOME_EXTENSION_UUID zumo@pellwick.example)
file(READ ${ZUMO_GNOME_EXTENSION_SOURCE}/bridge.js ZUMO_GNOME_BRIDGE)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ZUMO_GNOME_EXTENSION_SOURCE}/bridge.js)
foreach(entry legacy module)
  if(entry STREQUAL legacy)
    set(ZUMO_GNOME_SHELL_VERSIONS "[\"43\", \"44\"]")
  else()
    set(ZUMO_GNOME_SHELL_VERSIONS "[\"45\", \"46\", \"47\", \"48\"]")
  endif()
  set(out ${CMAKE_BINARY_DIR}/share/gnome-shell/${entry}/${ZUMO_GNOME_EXTENSION_UUID})
  configure_file(${ZUMO_GNOME_EXTENSION_SOURCE}/${entry}.js.in ${out}/extension.js @ONLY)
  configure_file(${ZUMO_GNOME_EXTENSION_SOURCE}/metadata.json.in ${out}/metadata.json @ONLY)
endforeach()

# The Shell of the machine building decides, as a distribution's package is built for its own
# Shell; without one (a build server), 43 and 44 as in Debian 12.
set(shell_entry legacy)
find_program(ZUMO_GNOME_SHELL gnome-shell)
if(ZUMO_GNOME_SHELL)
  execute_process(COMMAND ${ZUMO_GNOME_SHELL} --version OUTPUT_VARIABLE shell_version ERROR_QUIET)
  if(shell_version MATCHES "([0-9]+)\\." AND CMAKE_MATCH_1 GREATER_EQUAL 45)
    set(shell_entry module)
  endif()
endif()
set(ZUMO_GNOME_EXTENSION_ENTRY ${shell_entry} CACHE STRING
  "Which GNOME Shell extension entry to install: legacy (Shell 43, 44) or module (45 and later)")
set_property(CACHE ZUMO_GNOME_EXTENSION_ENTRY PROPERTY STRINGS legacy module)
set(ZUMO_GNOME_EXTENSION ${CMAKE_BINARY_DIR}/share/gnome-shell/${ZUMO_GNOME_EXTENSION_ENTRY}/${ZUMO_GNOME_EXTENSION_UUID})
