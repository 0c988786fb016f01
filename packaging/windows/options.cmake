# Read by cpack for each generator (CPACK_PROJECT_CONFIG_FILE).

# The strip of the installation writes this time stamp into quorel.exe (binutils read it).
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  set(ENV{SOURCE_DATE_EPOCH} ${CPACK_QUOREL_RELEASE_EPOCH})
endif()

# The installer takes the program, the zip also the text on how to use it.
if(CPACK_GENERATOR STREQUAL "NSIS")
  list(GET CPACK_INSTALL_CMAKE_PROJECTS 0 build_dir)
  set(CPACK_INSTALL_CMAKE_PROJECTS "${build_dir};Quorel;program;/")
  set(CPACK_PACKAGE_FILE_NAME quorel-${CPACK_PACKAGE_VERSION}-win64-setup)
elseif(CPACK_GENERATOR STREQUAL "ZIP")
  set(CPACK_PACKAGE_FILE_NAME quorel-${CPACK_PACKAGE_VERSION}-win64)
  # The files at the top of the zip, not in a folder of their own.
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
endif()
