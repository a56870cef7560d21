# Manual pages and the Debian changelog go in gzipped by `gzip -9n` (no name or time inside, so
# the package is the same from build to build); the copyright file as it stands.
find_program(ORVEL_GZIP gzip REQUIRED)
set(ORVEL_GZIPPED)
foreach(source IN ITEMS man/orvel.1 man/orvel-sim.1 changelog)
  get_filename_component(name ${source} NAME)
  set(output ${PROJECT_BINARY_DIR}/doc/${name}.gz)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/doc
    COMMAND sh -c "'${ORVEL_GZIP}' -9nc '${PROJECT_SOURCE_DIR}/resources/${source}' > '${output}'"
    DEPENDS ${PROJECT_SOURCE_DIR}/resources/${source}
    VERBATIM)
  list(APPEND ORVEL_GZIPPED ${output})
endforeach()
add_custom_target(orvel_docs ALL DEPENDS ${ORVEL_GZIPPED})
install(FILES ${PROJECT_BINARY_DIR}/doc/orvel.1.gz ${PROJECT_BINARY_DIR}/doc/orvel-sim.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# A native package (no Debian revision in its version): its changelog is changelog.gz.
install(FILES ${PROJECT_BINARY_DIR}/doc/changelog.gz ${PROJECT_SOURCE_DIR}/resources/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/orvel)
# What lintian is told about the package's own choices (see the file).
install(FILES ${PROJECT_SOURCE_DIR}/resources/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME orvel)

# `cmake --build build --target package` makes orvel_<version>_<arch>.deb: the program, the
# simulator, the help pages, the workshop server's schema, the desktop entry and the icon,
# depending on the Qt 6 runtime packages that dpkg-shlibdeps finds the binaries linked against.
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "orvel")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "service tool for an LPG (autogas) conversion controller")
# dpkg shows each line of the description as it stands: under 80 columns.
set(CPACK_PACKAGE_DESCRIPTION
    "Connects a PC to the microcontroller of an LPG conversion over a serial line\n"
    "(9600 8N1) to watch the engine live, read and change the controller's\n"
    "settings, run the autocalibration wizard, rescale the rpm reading, and save,\n"
    "view and print settings and a customer report.\n"
    "Includes orvel-sim, a simulator of the controller on a pseudo-terminal.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGE_CONTACT "Orvel service tool team <orvel@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # orvel_2.2_amd64.deb
set(CPACK_DEBIAN_PACKAGE_SECTION "electronics")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's platform plugins (xcb, offscreen), its SQLite and PostgreSQL drivers and its translations
# (the standard dialogs in Polish and Italian) are packages of their own, which dpkg-shlibdeps
# does not see; Liberation Sans stands in for Arial on the printed report.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, libqt6sql6-sqlite, libqt6sql6-psql, qt6-translations-l10n, fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                                GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# Only what the program needs at run time: the test and benchmark targets install nothing.
set(CPACK_COMPONENTS_ALL_IN_ONE_PACKAGE ON)
include(CPack)
