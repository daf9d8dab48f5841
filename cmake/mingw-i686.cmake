# Cross-build for 32-bit Windows with MinGW-w64: the release. 32-bit on
# purpose: the programs Tidemark starts and the registry entries it reads are
# 32-bit ones, and a 32-bit program sees the same registry view they do.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TIDEMARK_MINGW_TRIPLE i686-w64-mingw32)
set(TIDEMARK_WINE_ARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
