# What gets installed. On Linux: the program, its manual pages and documents,
# as `make install` and the Debian package (debian/, built by debhelper, which
# strips, compresses and adds the changelog) put them. On Windows: the zip
# that CPack makes for Windows users.
set(CPACK_PACKAGE_NAME quadrivo)
set(CPACK_PACKAGE_VENDOR "the quadrivo authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "make one team's calendar out of a league's full calendar")

# The Debian package's version is this one with the revision -1.
file(STRINGS debian/changelog top LIMIT_COUNT 1)
if(NOT top MATCHES "^quadrivo \\(${PROJECT_VERSION}-1\\)")
  message(FATAL_ERROR "debian/changelog does not begin with version ${PROJECT_VERSION}-1")
endif()

if(WIN32)
  # Everything side by side in one folder: the program, how to use it, the
  # licence and an example calendar; text files with CR LF line ends.
  file(READ LICENSE licence)
  string(REPLACE "\n" "\r\n" licence "${licence}")
  file(WRITE ${PROJECT_BINARY_DIR}/LICENSE.txt "${licence}")
  install(TARGETS quadrivo RUNTIME DESTINATION .)
  configure_file(packaging/LEGGIMI.txt LEGGIMI.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${PROJECT_BINARY_DIR}/LEGGIMI.txt sample/originale.txt ${PROJECT_BINARY_DIR}/LICENSE.txt DESTINATION .)
  set(CPACK_STRIP_FILES ON)
  set(CPACK_GENERATOR ZIP)
  # The files at the zip's root: Explorer's "Extract all" makes the one folder.
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(CPACK_PACKAGE_FILE_NAME "quadrivo-${PROJECT_VERSION}-win32")
  include(CPack)
else()
  include(GNUInstallDirs)
  set(doc ${CMAKE_INSTALL_DATADIR}/doc/quadrivo)
  install(TARGETS quadrivo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # The manual pages carry the version.
  configure_file(packaging/man/quadrivo.1 man/en/quadrivo.1 @ONLY)
  configure_file(packaging/man/quadrivo.it.1 man/it/quadrivo.1 @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/man/en/quadrivo.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PROJECT_BINARY_DIR}/man/it/quadrivo.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/it/man1)
  # The machine-readable licence, a user README and the example calendar.
  install(FILES debian/copyright packaging/debian/README DESTINATION ${doc})
  install(FILES sample/originale.txt DESTINATION ${doc}/examples)
endif()
