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

# The position of the program's icon (the group icon "QUOREL") among the icons of quorel.exe:
# shortcuts and "Programs and Features" name an icon by its position, and the resource
# directory lists named icons in alphabetical order, so the first one is not the program's.
if(CPACK_GENERATOR STREQUAL "NSIS")
  execute_process(COMMAND ${CPACK_QUOREL_OBJDUMP} -p ${CPACK_QUOREL_PROGRAM}
                  OUTPUT_VARIABLE headers COMMAND_ERROR_IS_FATAL ANY)
  # One list element per line; brackets would hold lists together, semicolons split them.
  string(REGEX REPLACE "[][;]" "_" headers "${headers}")
  string(REPLACE "\n" ";" lines "${headers}")
  set(in_icons FALSE)
  set(index 0)
  set(CPACK_QUOREL_ICON_INDEX "")
  foreach(line IN LISTS lines)
    # Resource types are the first level of entries (three blanks in), names the second (five).
    if(line MATCHES "^[0-9a-f]+   Entry: ")
      set(in_icons FALSE)
      if(line MATCHES "^[0-9a-f]+   Entry: ID: 0x00000e,")  # RT_GROUP_ICON
        set(in_icons TRUE)
      endif()
    elseif(in_icons AND line MATCHES "^[0-9a-f]+     Entry: name: .*: ([A-Z0-9_]+), Value")
      if(CMAKE_MATCH_1 STREQUAL "QUOREL")
        set(CPACK_QUOREL_ICON_INDEX ${index})
        break()
      endif()
      math(EXPR index "${index} + 1")
    endif()
  endforeach()
  if(CPACK_QUOREL_ICON_INDEX STREQUAL "")
    message(FATAL_ERROR "The icon QUOREL is not among the icons of ${CPACK_QUOREL_PROGRAM}")
  endif()
  set(CPACK_NSIS_INSTALLED_ICON_NAME "quorel.exe,${CPACK_QUOREL_ICON_INDEX}")
endif()
