# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package: `cpack -G DEB` in the build folder (scripts/package does it) makes
# morvane_<version>-1_<arch>.deb from the install rules. Its library dependencies come from
# dpkg-shlibdeps; what the program loads or calls at run time without linking it is named here.
include_guard(GLOBAL)

set(CPACK_PACKAGE_NAME "morvane")
set(CPACK_PACKAGE_VENDOR "The Morvane developers")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "image-folder browser and organiser (Japanese interface)")
# One text in lines of control-file width.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Morvane lists every file of a folder as a large icon, with thumbnails for\n"
    "pictures, shows the facts and an Exif summary of the selected picture and\n"
    "opens it in a viewer. It renames files in batches by a small pattern\n"
    "language, copies, moves and deletes them, and hands them to programs the\n"
    "user registers. Its interface is Japanese.\n"
    "The package holds the program, its terminal companion morvane-cli, the\n"
    "Japanese manual, the desktop menu entry and icon, and the AppStream file.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "morvane")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR "DEB")

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${MORVANE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION "graphics")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_FILE_NAME "DEB-DEFAULT")
set(CPACK_DEBIAN_PACKAGE_RELEASE "1")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Japanese glyphs for the interface, Qt's Japanese texts for its own dialogs and menus, and Qt's
# plugins that read WebP, TIFF and TGA pictures; the window system plugin is part of libqt6gui6,
# which the library dependencies already bring.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "fonts-ipafont-gothic | fonts-noto-cjk, qt6-translations-l10n, qt6-image-formats-plugins")
# The icons of other files, the desktop's open handler (files, folders, the manual), and native
# Wayland windows (without it the program runs through XWayland).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "adwaita-icon-theme, xdg-utils, qt6-wayland")

include(CPack)
