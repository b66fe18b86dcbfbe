# The Debian package: `cpack -G DEB` in a configured build folder (./dev.sh package does it)
# writes tessera_<version>_amd64.deb from the install rules. Dependencies come from
# dpkg-shlibdeps over the installed programs; the desktop's caches (MIME types, desktop
# entries, icons) are refreshed by the file triggers of shared-mime-info,
# desktop-file-utils and the icon theme, so the package ships no cache and no scripts.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessera)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tessera")
set(CPACK_PACKAGE_CONTACT "Tessera maintainers <maintainers@users.noreply.c-seed-343d9bf3.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "data link for Sharp Zaurus PI-series PDAs")
set(CPACK_PACKAGE_DESCRIPTION
  "Tessera receives the records of a PI-series PDA (phone book, business cards,\n\
schedule, anniversaries, to-do list, reports and handwritten memos) over the\n\
option-port cable or the infrared adapter, edits them in a table and sends them\n\
back. It installs add-ins on the device, converts records to and from CSV,\n\
vCard and iCalendar through its filter programs, and offers tessera-cli for\n\
scripted use. zaurus-sim plays a simulated device for trying it without one.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY tessera)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package) # ./dev.sh package: build-pkg

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "shared-mime-info, desktop-file-utils, hicolor-icon-theme")
# The window program draws its icons from SVG and needs a platform plugin: both are
# loaded at run time, so shlibdeps cannot see them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "perl, fonts-ipafont-gothic")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://github.com/tessera/tessera")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

include(CPack)
