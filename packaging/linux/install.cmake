# cmake --install: the program and what it needs at run time, in the places a desktop finds them.
include(GNUInstallDirs)

set(quorel_linux ${CMAKE_CURRENT_LIST_DIR})
set(quorel_out ${CMAKE_BINARY_DIR}/packaging)
# Directories created by the installation, also in the package.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS quorel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Installing stripped (cmake --install --strip, and the package) also drops the sections that
# only name the compiler, as Debian's packages do.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    execute_process(
      COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
              \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/quorel\"
      COMMAND_ERROR_IS_FATAL ANY)
  endif()")

# The menu entry, the icon in the theme's sizes and the software-centre metadata, all named by
# the program's reverse-DNS id.
install(FILES ${quorel_linux}/example.mirlox.Quorel.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/artwork/hicolor
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES ${quorel_linux}/example.mirlox.Quorel.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The manual page, compressed as Debian wants it: maximum compression, no name or time stamp.
configure_file(${quorel_linux}/quorel.1.in ${quorel_out}/quorel.1 @ONLY)
find_program(GZIP_PROGRAM gzip REQUIRED)
add_custom_command(
  OUTPUT ${quorel_out}/quorel.1.gz
  COMMAND ${GZIP_PROGRAM} -9nkf ${quorel_out}/quorel.1
  DEPENDS ${quorel_out}/quorel.1
  VERBATIM)
add_custom_command(
  OUTPUT ${quorel_out}/changelog.gz
  COMMAND ${GZIP_PROGRAM} -9nc ${quorel_linux}/changelog > ${quorel_out}/changelog.gz
  DEPENDS ${quorel_linux}/changelog)
add_custom_target(quorel_docs ALL
  DEPENDS ${quorel_out}/quorel.1.gz ${quorel_out}/changelog.gz)
install(FILES ${quorel_out}/quorel.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# Named after the package, not the project.
install(FILES ${quorel_linux}/copyright ${quorel_out}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quorel)

# The database schema and demo user of both engines (not the tests' users).
foreach(engine sqlite postgresql)
  install(FILES ${CMAKE_SOURCE_DIR}/sql/${engine}/schema.sql
                ${CMAKE_SOURCE_DIR}/sql/${engine}/demo.sql
          DESTINATION ${CMAKE_INSTALL_DATADIR}/quorel/${engine})
endforeach()

# The machine registry file that names the system-information tool. The program reads
# /etc/quorel/registry, where it goes with the prefix /usr (stage such an installation with
# DESTDIR); with any other prefix it goes to <prefix>/etc/quorel/, and QUOREL_REGISTRY names it.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(QUOREL_REGISTRY_DIR /etc/quorel)
else()
  set(QUOREL_REGISTRY_DIR ${CMAKE_INSTALL_SYSCONFDIR}/quorel)
endif()
install(FILES ${quorel_linux}/registry DESTINATION ${QUOREL_REGISTRY_DIR})
