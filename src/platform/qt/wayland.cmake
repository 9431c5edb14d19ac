# Windows that come forward on Wayland: xdg-activation's client code, generated from wayland-protocols, spoken on Qt's
# own connection, which only Qt's platform native interface (a private header) hands out.
pkg_check_modules(WAYLAND_CLIENT REQUIRED IMPORTED_TARGET wayland-client)
pkg_get_variable(WAYLAND_PROTOCOLS_DIR wayland-protocols pkgdatadir)
find_program(WAYLAND_SCANNER wayland-scanner REQUIRED)
if(NOT WAYLAND_PROTOCOLS_DIR)
  message(FATAL_ERROR "wayland-protocols is not installed (scripts/setup.sh installs it)")
endif()
enable_language(C)

set(tavix_xdg_activation_xml ${WAYLAND_PROTOCOLS_DIR}/staging/xdg-activation/xdg-activation-v1.xml)
set(tavix_wayland_generated ${CMAKE_CURRENT_BINARY_DIR}/wayland)
add_custom_command(
  OUTPUT ${tavix_wayland_generated}/xdg-activation-v1-client-protocol.h
         ${tavix_wayland_generated}/xdg-activation-v1-protocol.c
  COMMAND ${CMAKE_COMMAND} -E make_directory ${tavix_wayland_generated}
  COMMAND ${WAYLAND_SCANNER} client-header ${tavix_xdg_activation_xml}
          ${tavix_wayland_generated}/xdg-activation-v1-client-protocol.h
  COMMAND ${WAYLAND_SCANNER} private-code ${tavix_xdg_activation_xml}
          ${tavix_wayland_generated}/xdg-activation-v1-protocol.c
  DEPENDS ${tavix_xdg_activation_xml}
  COMMENT "Generating the xdg-activation client code")
# Generated C, and Qt's private headers: not held to our warnings.
add_library(tavix_xdg_activation_protocol OBJECT ${tavix_wayland_generated}/xdg-activation-v1-protocol.c)
target_link_libraries(tavix_xdg_activation_protocol PRIVATE PkgConfig::WAYLAND_CLIENT)
target_sources(tavix_qt PRIVATE ${tavix_wayland_generated}/xdg-activation-v1-client-protocol.h)
target_include_directories(tavix_qt SYSTEM PRIVATE ${tavix_wayland_generated})
target_link_libraries(tavix_qt PRIVATE tavix_xdg_activation_protocol PkgConfig::WAYLAND_CLIENT Qt6::GuiPrivate)
