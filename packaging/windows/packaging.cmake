# What the Windows packages take from a build of either architecture: quorel.exe (component
# "program") and the zip's text (component "portable"). scripts/package-windows installs both
# builds stripped with `cmake --install`, signs them, and makes the setup (quorel.nsi, makensis),
# the zip and one MSI per architecture (quorel.wxs, wixl) from them. quorel.exe links statically
# and needs nothing besides the system's DLLs; the vendor's client object is installed by the
# administrator, not by us.
if(NOT TARGET quorel)
  return()
endif()

# Packaging needs quorel.exe alone; the tests need not be built for it.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
install(TARGETS quorel RUNTIME DESTINATION . COMPONENT program)
# The text is UTF-8 with a byte-order mark and Windows line ends, so that every Notepad reads it.
configure_file(${CMAKE_CURRENT_LIST_DIR}/LIESMICH.txt.in ${CMAKE_BINARY_DIR}/packaging/LIESMICH.txt
               @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_BINARY_DIR}/packaging/LIESMICH.txt DESTINATION . COMPONENT portable)
