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

# Desktop integration: the application menu entry, its icon in the hicolor theme, the
# AppStream metadata software centres list, and the completion of smsclient-cli's commands.
set(SMSC_APP_ID cn.smsclient.client)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/${SMSC_APP_ID}.desktop DESTINATION share/applications)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/${SMSC_APP_ID}.metainfo.xml DESTINATION share/metainfo)
if(TARGET smsc_icons)
  install(DIRECTORY ${CMAKE_BINARY_DIR}/icons/hicolor DESTINATION share/icons)
endif()
# The per-user timer that sends scheduled campaigns every minute; off until the user runs
# systemctl --user enable --now smsclient-campaigns.timer.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/smsclient-campaigns.service
  ${CMAKE_SOURCE_DIR}/packaging/smsclient-campaigns.timer DESTINATION lib/systemd/user)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/smsclient-cli.bash-completion
  DESTINATION share/bash-completion/completions RENAME smsclient-cli)

# Documentation: the copyright file, the changelog and the manual pages, compressed as Debian
# wants them (gzip -9n: no name or time stamp, so the package is reproducible).
find_program(SMSC_GZIP gzip REQUIRED)
set(SMSC_DOC_DIR ${CMAKE_BINARY_DIR}/doc)
file(MAKE_DIRECTORY ${SMSC_DOC_DIR})
add_custom_command(OUTPUT ${SMSC_DOC_DIR}/changelog.gz
  COMMAND ${SMSC_GZIP} -9n -c ${CMAKE_SOURCE_DIR}/packaging/changelog > ${SMSC_DOC_DIR}/changelog.gz
  DEPENDS ${CMAKE_SOURCE_DIR}/packaging/changelog VERBATIM)
set(smsc_docs ${SMSC_DOC_DIR}/changelog.gz)
# The manual pages are made from each program's own --help, so they never drift from it.
set(smsc_man_smsclient "bulk SMS and MMS client")
set(smsc_man_smsclient-cli "command-line SMS and MMS sender")
set(smsc_man_smsclient-demo-service "local stand-in for the bulk-messaging service")
set(smsc_make_manpage ${CMAKE_SOURCE_DIR}/tools/make-manpage/make_manpage.py)
foreach(program smsclient smsclient-cli smsclient-demo-service)
  if(TARGET ${program})
    add_custom_command(OUTPUT ${SMSC_DOC_DIR}/${program}.1.gz
      COMMAND /usr/bin/python3 ${smsc_make_manpage} $<TARGET_FILE:${program}> ${program}
              ${smsc_man_${program}} ${PROJECT_VERSION} ${SMSC_DOC_DIR}/${program}.1
      COMMAND ${SMSC_GZIP} -9nf ${SMSC_DOC_DIR}/${program}.1
      DEPENDS ${program} ${smsc_make_manpage} VERBATIM)
    list(APPEND smsc_docs ${SMSC_DOC_DIR}/${program}.1.gz)
    install(FILES ${SMSC_DOC_DIR}/${program}.1.gz DESTINATION share/man/man1)
  endif()
endforeach()
add_custom_target(smsc_docs ALL DEPENDS ${smsc_docs})
install(FILES ${SMSC_DOC_DIR}/changelog.gz ${CMAKE_SOURCE_DIR}/packaging/copyright
  DESTINATION share/doc/smsclient)

# The Debian package: runtime dependencies are computed from the executables (dpkg-shlibdeps).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME smsclient)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "smsclient")
set(CPACK_PACKAGE_CONTACT "smsclient 开发组 <dev@smsclient.cn>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "bulk SMS and MMS client (短信彩信群发客户端)")
# Lines of at most 80 columns.
set(CPACK_PACKAGE_DESCRIPTION [=[
Desktop client for an enterprise bulk-messaging web service: it builds
recipient lists from typed numbers, ranges, text files, spreadsheets and
the address book, and submits SMS and MMS messages. It keeps an address
book, a phrase library and a number-segment lookup, and queries replies
and past sends. Includes the command-line sender smsclient-cli and a local
demo service.]=])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window-system plugin and Qt's Chinese translations are loaded at run time, so the linked
# libraries do not name them; an https line checks its server against the system's trusted
# authorities (ca-certificates).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n, ca-certificates")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei | fonts-noto-cjk")
include(CPack)
