# The Windows installer (NSIS) and the portable zip, made by cpack in the windows preset's build
# (scripts/package-windows). quorel.exe links statically and needs nothing besides the system's
# DLLs; the vendor's client object is installed by the administrator, not by us.
if(NOT TARGET quorel)
  return()
endif()

set(quorel_windows ${CMAKE_CURRENT_LIST_DIR})
# Packaging needs quorel.exe alone; the tests need not be built for it.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# The installer takes the program alone; the zip adds a short text on how to use it.
install(TARGETS quorel RUNTIME DESTINATION . COMPONENT program)
# The text is UTF-8 with a byte-order mark and Windows line ends, so that every Notepad reads it.
configure_file(${quorel_windows}/LIESMICH.txt.in ${CMAKE_BINARY_DIR}/packaging/LIESMICH.txt
               @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_BINARY_DIR}/packaging/LIESMICH.txt DESTINATION . COMPONENT portable)

set(CPACK_GENERATOR NSIS ZIP)
set(CPACK_PACKAGE_NAME Quorel)
set(CPACK_PACKAGE_VENDOR "MIRLOX Software")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Anmeldung an die MIRLOX-Anwendungen")
# The program goes to C:\Program Files\MIRLOX\Quorel; the uninstaller also removes the
# publisher's folder when it is left empty.
set(CPACK_QUOREL_PUBLISHER_DIR MIRLOX)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Quorel)
set(CPACK_STRIP_FILES ON)
# One package per generator; which components each one takes is set per generator in
# options.cmake.
set(CPACK_MONOLITHIC_INSTALL ON)

# The installer script is our own (NSIS.template.in here, found before CPack's): a 64-bit,
# German installer for all users with one Start-menu entry and an entry in "Programs and
# Features".
list(PREPEND CMAKE_MODULE_PATH ${quorel_windows})
set(CPACK_NSIS_DISPLAY_NAME "MIRLOX Quorel")
set(CPACK_NSIS_PACKAGE_NAME "MIRLOX Quorel")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
set(CPACK_NSIS_UNINSTALL_NAME Uninstall)
set(CPACK_NSIS_URL_INFO_ABOUT https://www.mirlox.example/)
# The installer's own icon is the program's, as the window backend's resources have it.
set(CPACK_NSIS_MUI_ICON ${CMAKE_BINARY_DIR}/platform/win32/artwork/quorel.ico)
set(CPACK_NSIS_MUI_UNIICON ${CPACK_NSIS_MUI_ICON})

# The time stamp that strip writes into quorel.exe: the release date, so that the installer and
# the zip hold the same program, byte for byte, and every packaging run makes it alike.
execute_process(COMMAND date -u -d ${QUOREL_RELEASE_DATE} +%s
                OUTPUT_VARIABLE CPACK_QUOREL_RELEASE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)

# The program's own icon is the first in quorel.exe.
set(CPACK_NSIS_INSTALLED_ICON_NAME quorel.exe,0)
set(CPACK_PROJECT_CONFIG_FILE ${quorel_windows}/options.cmake)

include(CPack)
