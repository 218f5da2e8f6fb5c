# Installation and the Debian package.
#   cmake --install build --prefix /usr/local     (or: cd build && cpack -G DEB)
# Everything the program reads lives in lib/smsclient/ under the prefix, next to its
# executables (the program finds its files next to its executable); bin/ holds links to them.
# The settings, address book and phrase files installed there are defaults: an installed copy
# keeps the user's own in ~/.local/share/smsclient/ (platform/DataDir.h).
set(SMSC_INSTALL_DIR lib/smsclient)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/bin-links)

foreach(program smsclient smsclient-cli smsclient-demo-service)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${SMSC_INSTALL_DIR})
    file(CREATE_LINK ../${SMSC_INSTALL_DIR}/${program} ${CMAKE_BINARY_DIR}/bin-links/${program} SYMBOLIC)
    install(FILES ${CMAKE_BINARY_DIR}/bin-links/${program} DESTINATION bin)
  endif()
endforeach()

# The shipped data folder, and the files generated into the executables' folder at build time
# (the segment database and the province/city list), when the build makes them.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/ DESTINATION ${SMSC_INSTALL_DIR})
install(FILES ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/sjhmd.dat ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/CityInfo.dat
  DESTINATION ${SMSC_INSTALL_DIR} OPTIONAL)
# Marks the folder as an installed copy, so even a user who may write there (root) keeps
# their files in the per-user folder.
file(WRITE ${CMAKE_BINARY_DIR}/smsclient-installed-marker
  "This folder is an installed copy of smsclient; user files live in ~/.local/share/smsclient/.\n")
install(FILES ${CMAKE_BINARY_DIR}/smsclient-installed-marker DESTINATION ${SMSC_INSTALL_DIR}
  RENAME .smsclient-installed)

# Desktop integration: the application menu entry and its icon in the hicolor theme.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/smsclient.desktop DESTINATION share/applications)
if(TARGET smsc_icons)
  install(DIRECTORY ${CMAKE_BINARY_DIR}/icons/hicolor DESTINATION share/icons)
endif()

# The Debian package: runtime dependencies are computed from the executables (dpkg-shlibdeps).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME smsclient)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "smsclient")
set(CPACK_PACKAGE_CONTACT "smsclient maintainers <smsclient@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "短信彩信群发客户端 - bulk SMS and MMS client")
set(CPACK_PACKAGE_DESCRIPTION
  "Desktop client for an enterprise bulk-messaging web service: builds recipient lists\nfrom typed numbers, ranges, text files, spreadsheets and the address book, and\nsubmits SMS and MMS messages. Includes smsclient-cli and a local demo service.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window-system plugin and Qt's Chinese translations are loaded at run time, so the linked
# libraries do not name them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei | fonts-noto-cjk")
include(CPack)
