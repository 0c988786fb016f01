# The Debian package quorel_<version>_<arch>.deb, made by cpack in a build configured with the
# prefix /usr (scripts/package).
if(NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  message(STATUS "Debian package: configure with -DCMAKE_INSTALL_PREFIX=/usr to make it")
  return()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorel)
set(CPACK_PACKAGE_VENDOR "MIRLOX Software")
set(CPACK_PACKAGE_CONTACT "MIRLOX Software <service@mirlox.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.mirlox.example/)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "login front end of the MIRLOX desktop applications
Quorel logs the user in to the MIRLOX applications: it checks the login against
the MIRLOX database server and shows its main window with the company, the
branch and the logged-in user. Login and server settings are kept per user.
The user interface is German.

The database server is an embedded SQLite database, a PostgreSQL server or any
server with an ODBC driver.")
# The libraries the program links come from dpkg-shlibdeps. Recommended: the system-information
# tool of the about box (named in /etc/quorel/registry), the PostgreSQL client library, which
# the program loads only for a PostgreSQL server, and Qt's Wayland platform plugin, without
# which the program cannot be a Wayland client: it still runs on X11 and, on most Wayland
# desktops, through Xwayland, so the plugin is no Depends. Suggested: the command-line clients,
# which create databases from the schema and demo files, and the ODBC driver manager, loaded
# only for an ODBC server.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "hardinfo, libpq5, qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "sqlite3, postgresql-client, libodbc2")

# No maintainer scripts: dpkg's triggers refresh the icon cache, the menu and the manual index.
file(CONFIGURE OUTPUT ${quorel_out}/deb/conffiles
     CONTENT "${QUOREL_REGISTRY_DIR}/registry\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${quorel_out}/deb/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
