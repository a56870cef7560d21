# `cmake --build build --target package` makes orvel_<version>_<arch>.deb: the program, the
# simulator, the help page, the desktop entry and the icon, depending on the Qt 6 runtime
# packages that dpkg-shlibdeps finds the binaries linked against.
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "orvel")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "service tool for an LPG (autogas) conversion controller")
set(CPACK_PACKAGE_DESCRIPTION
    "Connects a PC to the microcontroller of an LPG conversion over a serial line (9600 8N1) to\n"
    "watch the engine live, read and change the controller's settings, run the autocalibration\n"
    "wizard, rescale the rpm reading, and save, view and print settings and a customer report.\n"
    "Includes orvel-sim, a simulator of the controller on a pseudo-terminal.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGE_CONTACT "Orvel maintainers <orvel@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # orvel_2.2_amd64.deb
set(CPACK_DEBIAN_PACKAGE_SECTION "electronics")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's platform plugins (xcb, offscreen) are a package of their own; Liberation Sans stands in for
# Arial on the printed report.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_STRIP_FILES ON)
# Only what the program needs at run time: the test and benchmark targets install nothing.
set(CPACK_COMPONENTS_ALL_IN_ONE_PACKAGE ON)
include(CPack)
