# Cross-compiles the 32-bit Windows program with mingw-w64 (built and linked only: 64-bit
# wine alone cannot run it).
set(MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
