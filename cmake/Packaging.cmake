# Install layout of the application and its Debian package (cpack -G DEB).
# Only the program and its desktop files are installed: tests, benchmarks
# and fuzz targets have no install rules.
include(GNUInstallDirs)

# Desktop file and icon carry the application id (src/dbus/ApplicationId.h):
# desktops and portals match a running program to its entry by that name.
set(TARNWICK_APP_ID io.github.tarnwick.Tarnwick)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/${TARNWICK_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/icons/tarnwick.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${TARNWICK_APP_ID}.svg)
# Shipped but not active: starting on login is the user's choice (README).
install(FILES ${PROJECT_SOURCE_DIR}/packaging/tarnwick-autostart.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/tarnwick/autostart
        RENAME ${TARNWICK_APP_ID}.desktop)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnwick)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tarnwick developers <tarnwick@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Hot corners and hotkeys to shell commands")
set(CPACK_PACKAGE_DESCRIPTION
    "Tarnwick is a tray utility for X11 desktops (and XWayland under Wayland).\n"
    "When the pointer enters a corner of the screen, or a registered key\n"
    "combination is pressed in any application, it runs the command bound\n"
    "to it through zsh and writes the outcome to the system log. Bindings are\n"
    "kept in a settings window and a JSON file in the user's configuration.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What dpkg-shlibdeps cannot see: the shell commands run in, the QML modules
# and Qt plugins loaded at run time, and a font for the settings window.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "zsh, qml6-module-qtquick, qml6-module-qtquick-controls, qml6-module-qtquick-layouts, \
qml6-module-qtquick-window, qml6-module-qtquick-templates, qml6-module-qtqml-workerscript, \
libqt6svg6, qt6-wayland, fonts-dejavu-core")
# The default new binding runs notify-send.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS libnotify-bin)

# Read by cpack itself: it refuses to build the package without dpkg-shlibdeps.
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/packaging/CPackOptions.cmake)

include(CPack)
