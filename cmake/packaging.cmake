# What gets installed, and the packages CPack makes of it: a zip for Windows
# users, a .deb for Debian and Ubuntu. QUADRIVO_DEB (set by tools/make-packages)
# adds what only the Debian package carries: its changelog, and its strip.
option(QUADRIVO_DEB "Install as the Debian package does" OFF)
set(CPACK_PACKAGE_NAME quadrivo)
set(CPACK_PACKAGE_VENDOR "the quadrivo authors")
set(CPACK_PACKAGE_CONTACT "quadrivo maintainers <maintainers@quadrivo.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "make one team's calendar out of a league's full calendar")

file(READ LICENSE licence)

if(WIN32)
  # Everything side by side in one folder: the program, how to use it, the
  # licence and an example calendar; text files with CR LF line ends.
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
else()
  include(GNUInstallDirs)
  set(doc ${CMAKE_INSTALL_DATADIR}/doc/quadrivo)
  install(TARGETS quadrivo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  if(QUADRIVO_DEB)
    # As dh_strip does: no symbols, no .comment and .note sections.
    install(CODE "execute_process(COMMAND ${CMAKE_STRIP} --remove-section=.comment --remove-section=.note
                  \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/quadrivo\" COMMAND_ERROR_IS_FATAL ANY)")
  endif()

  # Installs source as destination/name.gz, compressed as Debian wants it:
  # without a name or time stamp inside; @PROJECT_VERSION@ filled in.
  function(install_gzipped source destination name)
    set(plain ${PROJECT_BINARY_DIR}/gz/${destination}/${name})
    configure_file(${source} ${plain} @ONLY)
    add_custom_command(OUTPUT ${plain}.gz COMMAND gzip -9n -f -k ${plain} DEPENDS ${plain})
    string(MAKE_C_IDENTIFIER ${destination}/${name} target)
    add_custom_target(${target} ALL DEPENDS ${plain}.gz)
    install(FILES ${plain}.gz DESTINATION ${destination})
  endfunction()
  install_gzipped(packaging/man/quadrivo.1 ${CMAKE_INSTALL_MANDIR}/man1 quadrivo.1)
  install_gzipped(packaging/man/quadrivo.it.1 ${CMAKE_INSTALL_MANDIR}/it/man1 quadrivo.1)

  # The licence below its title and copyright line, as a Debian copyright file holds it.
  string(REGEX REPLACE "^[^\n]*\n\n[^\n]*\n\n" "" LICENSE_TEXT "${licence}")
  string(STRIP "${LICENSE_TEXT}" LICENSE_TEXT)
  string(REPLACE "\n\n" "\n.\n" LICENSE_TEXT "${LICENSE_TEXT}")
  string(REPLACE "\n" "\n " LICENSE_TEXT " ${LICENSE_TEXT}")
  configure_file(packaging/debian/copyright.in ${PROJECT_BINARY_DIR}/copyright @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/copyright packaging/debian/README DESTINATION ${doc})
  install(FILES sample/originale.txt DESTINATION ${doc}/examples)
  if(QUADRIVO_DEB)
    file(STRINGS packaging/debian/changelog top LIMIT_COUNT 1)
    if(NOT top MATCHES "^quadrivo \\(${PROJECT_VERSION}-1\\)")
      message(FATAL_ERROR "packaging/debian/changelog does not begin with version ${PROJECT_VERSION}-1")
    endif()
    install_gzipped(packaging/debian/changelog ${doc} changelog.Debian)
    install(FILES packaging/debian/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
            RENAME quadrivo)
  endif()

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # Below the summary line: the long description, in Italian and in English.
  string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
         "Copia da originale.txt in calendario.txt (o .doc, .xls) le partite della\n"
         "squadra scelta, fra le prime 120 righe. Dialogo in italiano.\n"
         ".\n"
         "Copies the lines of originale.txt that name the chosen team, among the\n"
         "first 120, into calendario.txt (or .doc, .xls). Italian dialogue.")
endif()

include(CPack)
