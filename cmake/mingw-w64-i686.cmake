# Cross-build for 32-bit Windows: the 64-bit toolchain's settings for the i686 compilers.
set(QUOREL_MINGW_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
