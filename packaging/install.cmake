# Install rules and the Debian package: the three programs, the desktop entry,
# the icon, the AppStream metainfo, the man pages, the copyright and changelog,
# the bridge's systemd unit and its example settings.
include(GNUInstallDirs)
if(VARNAK_GUI)
  install(TARGETS varnak varnak-panel varnak-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
set(pkg ${PROJECT_SOURCE_DIR}/packaging)
install(FILES ${pkg}/varnak-panel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${pkg}/varnak-panel.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${pkg}/io.github.varnak.panel.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${pkg}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The bridge: one systemd unit per line, and a settings file to start from.
install(FILES ${pkg}/varnak-bridge@.service DESTINATION lib/systemd/system)
install(FILES ${pkg}/bridge-example.conf DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

# Debian wants man pages and the changelog compressed, reproducibly (no name, no time).
find_program(GZIP gzip REQUIRED)
set(gz ${PROJECT_BINARY_DIR}/gz)
foreach(page varnak.1 varnak-panel.1 varnak-sim.1)
  list(APPEND gzipped ${gz}/${page}.gz)
  add_custom_command(OUTPUT ${gz}/${page}.gz
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${gz}
                     COMMAND ${GZIP} -9nc ${pkg}/man/${page} > ${gz}/${page}.gz
                     DEPENDS ${pkg}/man/${page})
  install(FILES ${gz}/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
add_custom_command(OUTPUT ${gz}/changelog.gz
                   COMMAND ${CMAKE_COMMAND} -E make_directory ${gz}
                   COMMAND ${GZIP} -9nc ${pkg}/changelog > ${gz}/changelog.gz
                   DEPENDS ${pkg}/changelog)
add_custom_target(compressed_docs ALL DEPENDS ${gzipped} ${gz}/changelog.gz)
install(FILES ${gz}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME varnak)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "The Varnak developers <varnak@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "write, read and watch a programmable controller over a serial line")
set(CPACK_PACKAGE_DESCRIPTION
    "A desktop window with which an operator writes one register of a programmable\n controller, reads one, and watches its eight outputs as lamps, over a serial\n line at 9600 baud, odd parity. With a scripting client, a bridge that owns\n the line and serves it to an MQTT broker, to other windows and clients over\n TCP and to Modbus TCP clients, and a simulated controller for trying it\n without hardware.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Not found from the programs' libraries: the font the window is drawn in, Qt's
# SVG plugin that draws the window icon, and Qt's own Chinese translations (OK,
# Cancel, the file dialog) for an operator whose locale is Chinese.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-cjk, libqt6svg6, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://varnak.github.io/varnak/")
include(CPack)
