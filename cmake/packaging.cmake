# What gets installed, and the packages CPack makes of it: a zip for Windows
# users, a .deb for Debian and Ubuntu.
set(CPACK_PACKAGE_NAME quadrivo)
set(CPACK_PACKAGE_VENDOR "quadrivo")
set(CPACK_PACKAGE_CONTACT "quadrivo maintainers <maintainers@quadrivo.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "il calendario della tua squadra dal calendario del campionato / one team's calendar out of a league's")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  # Everything side by side in one folder: the program, how to use it, an example calendar.
  install(TARGETS quadrivo RUNTIME DESTINATION .)
  install(FILES packaging/LEGGIMI.txt sample/originale.txt DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "quadrivo-${PROJECT_VERSION}-win32")
else()
  include(GNUInstallDirs)
  install(TARGETS quadrivo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES README.md sample/originale.txt DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quadrivo)
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
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
