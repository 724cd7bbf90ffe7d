# The Debian package, built by `cpack -G DEB` in a build configured with
# CMAKE_INSTALL_PREFIX=/usr (scripts/package.sh does it with Debian's hardening flags).
set(CPACK_PACKAGE_NAME vardometer)
set(CPACK_PACKAGE_VENDOR "Vardometer developers")
set(CPACK_PACKAGE_CONTACT "Vardometer developers <developers@vardometer.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "watch the free space of many disks and shares")
# Debian shows the description as it is written: lines within 80 columns, paragraphs apart.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Vardometer measures the free space of local disks, SMB shares and folders"
    "on SSH hosts, on demand, every few minutes or once a day. It keeps the"
    "latest figures and a dated history in one database, predicts the day each"
    "disk will be full, and raises alerts (threshold reached, address"
    "unreachable) in a popup and by e-mail."
    ""
    "The window shows a navigation tree, a summary chart, summary and history"
    "grids and one system's history chart. vardometer-cli runs the same checks"
    "and snapshots without a window, from the systemd user timers that come"
    "with the package or from cron.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What dpkg-shlibdeps cannot see: the database driver and the window's platform plugins are
# Qt plugins, libcurl (mail), libxlsxwriter (export) and libssh2 (SFTP addresses) are opened
# on first use, and the charts name fonts that only these packages provide.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6sql6-sqlite, qt6-qpa-plugins, libcurl4, libxlsxwriter4, fonts-dejavu-core, \
fonts-liberation2")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libssh2-1")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "cups")

include(CPack)
