# The Debian package: `cpack -G DEB` in the build folder. Library dependencies
# come from dpkg-shlibdeps, with the versions of the build machine; the list
# below names what no linker sees: Qt plugins, the conversion tools the
# service runs, and fonts for the Chinese and Japanese interface.
set(CPACK_PACKAGE_NAME mirelune)
set(CPACK_PACKAGE_VENDOR "Mirelune")
set(CPACK_PACKAGE_CONTACT "Mirelune <feedback@mirelune.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PROJECT_HOMEPAGE_URL}")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Converts PDF files to Word, Excel, PowerPoint, images, HTML and text,\n"
  "and office documents and images to PDF, and merges PDFs. Contains the\n"
  "desktop application, the command-line client and the self-hosted\n"
  "conversion service.")

set(mirelune_runtime_packages
  qt6-qpa-plugins libqt6svg6 libqt6sql6-sqlite
  qpdf poppler-utils img2pdf python3-uno
  libreoffice-writer-nogui libreoffice-calc-nogui libreoffice-impress-nogui libreoffice-draw-nogui
  fonts-noto-cjk fonts-dejavu-core)
# Without dpkg-shlibdeps the linked libraries are named by hand, unversioned.
find_program(MIRELUNE_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(MIRELUNE_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  list(PREPEND mirelune_runtime_packages
    libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libqt6dbus6 libqt6multimedia6 libqt6sql6
    libqt6keychain1 libqpdf29 libssl3 libzip4 libxlsxwriter4)
endif()
list(JOIN mirelune_runtime_packages ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
# Only a service of several nodes keeps its records in PostgreSQL.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libqt6sql6-psql")

include(CPack)
