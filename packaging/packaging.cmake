# Installing the program and packaging it, per platform. Included from the top CMakeLists.txt
# once the program's target exists.

# The date of the release named by the project's version (manual page; the Debian changelog and
# the AppStream releases list it too).
set(QUOREL_RELEASE_DATE 2026-12-08)

if(WIN32)
  # The Windows installer and the portable zip: packaging/windows/packaging.cmake, when it exists.
  if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/windows/packaging.cmake)
    include(${CMAKE_CURRENT_LIST_DIR}/windows/packaging.cmake)
  endif()
else()
  include(${CMAKE_CURRENT_LIST_DIR}/linux/install.cmake)
  include(${CMAKE_CURRENT_LIST_DIR}/linux/deb.cmake)
endif()
