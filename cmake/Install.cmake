# Installation and the Debian package.
#
# `cmake --install` lays out one complete program folder (by default /opt/torv):
#
#   torv                 the console (Qt Core only; also runs --headless)
#   torv-window.so       the window, loaded by torv when a window is wanted
#   torv-web.so          libcurl, loaded on the first web check or address look-up
#   torv-crypto.so       libcrypto, loaded when a remote key is used
#   *.wav                the nine cue files
#   torv.png             the program icon, 48 by 48
#   config.ini.example   a starting point for config.ini (CR LF line ends)
#   torv.ini.example     the opt-in file's keys (never torv.ini: an upgrade keeps it)
#   autostart/torv.desktop  an XDG autostart entry, not active until copied
#
# and, as the component "desktop", the menu entry and the icon under /usr/share;
# as the component "service", the systemd unit torv.service (not enabled; the
# package's postinst creates its user "torv", see docs/headless.md).
# TORV writes config.ini, config.ini.bak and comments.txt into its own folder,
# so the user who runs it needs write access there (docs/manual.md).
#
#   cmake --install build                                  # everything (root)
#   cmake --install build --prefix ~/torv --component program   # folder only
#   cpack -G DEB  (in the build folder)                    # build/packages/*.deb

if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/InstallWindows.cmake)
  return()
endif()

if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
  set(CMAKE_INSTALL_PREFIX /opt/torv CACHE PATH "The program folder" FORCE)
endif()

# The program icon as PNG, drawn at build time by the same code the console uses.
add_executable(iconpng tools/iconpng.cpp)
target_link_libraries(iconpng PRIVATE torv_qt)
set_target_properties(iconpng PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${TORV_TOOLS_DIR})
set(TORV_ICON_PNG ${CMAKE_BINARY_DIR}/icon/torv.png)
add_custom_command(OUTPUT ${TORV_ICON_PNG}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icon
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:iconpng> ${TORV_ICON_PNG}
  DEPENDS iconpng
  COMMENT "Drawing the program icon")
add_custom_target(torv_icon ALL DEPENDS ${TORV_ICON_PNG})

# The program folder. The package installs to /opt/torv whatever the prefix.
install(TARGETS torv RUNTIME DESTINATION . COMPONENT program)
# A module is a library everywhere, also on Windows.
install(TARGETS torv_window LIBRARY DESTINATION . COMPONENT program)
if(TARGET torv_web)
  install(TARGETS torv_web torv_crypto LIBRARY DESTINATION . COMPONENT program)
endif()
install(FILES ${TORV_CUE_FILES} ${TORV_ICON_PNG}
  ${CMAKE_SOURCE_DIR}/packaging/config.ini.example ${CMAKE_SOURCE_DIR}/packaging/torv.ini.example
  DESTINATION . COMPONENT program)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/torv-autostart.desktop
  DESTINATION autostart RENAME torv.desktop COMPONENT program)

# Desktop integration; the entry starts /opt/torv/torv.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/torv.desktop
  DESTINATION /usr/share/applications COMPONENT desktop)
install(FILES ${TORV_ICON_PNG}
  DESTINATION /usr/share/icons/hicolor/48x48/apps COMPONENT desktop)

# The service without a window; where Debian 12 packages put their units.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/torv.service
  DESTINATION /lib/systemd/system COMPONENT service)

# Debian package: one package with all components.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME torv)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "TORV")
set(CPACK_PACKAGE_CONTACT "TORV maintainers <torv@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Server command console: start-up task sequence and remote commands")
set(CPACK_PACKAGE_DESCRIPTION
  "TORV reads config.ini from its program folder (/opt/torv), counts down, then\n\
launches an ordered list of programs with a wait before each, logging every\n\
step. Afterwards it can poll a shared folder for a command file (shut down,\n\
restart, report or run a command line) and writes its log back there.\n\
See /usr/share/doc/torv/manual.md.")
set(CPACK_PACKAGING_INSTALL_PREFIX /opt/torv)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Checked against dpkg-shlibdeps on Debian 12. Qt's xcb platform plugin ships in
# libqt6gui6 here; the multimedia backends in
# libqt6multimedia6. libcrypto.so.3 (torv-crypto.so, signed remote commands)
# ships in libssl3; libcurl.so.4 (torv-web.so, web checks) in libcurl4.
# Text needs at least one font on a bare server. The Edit
# buttons open files with xdg-open (xdg-utils); without it they fail with 53.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "adduser, libc6 (>= 2.34), libstdc++6 (>= 9), libgcc-s1 (>= 3.0), libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libqt6multimedia6 (>= 6.4), libssl3 (>= 3.0.0), libcurl4 (>= 7.88), fonts-dejavu-core | fonts-freefont-ttf | fonts-liberation2, xdg-utils")
# Creates the service's user; enables nothing.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/packaging/debian/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xvfb, xauth, trayer")
install(FILES ${CMAKE_SOURCE_DIR}/docs/manual.md ${CMAKE_SOURCE_DIR}/docs/headless.md
  DESTINATION /usr/share/doc/torv COMPONENT desktop)
include(CPack)
