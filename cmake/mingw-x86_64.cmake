# Cross-build of the same sources for 64-bit Windows, tested under Wine's
# 64-bit loader: it checks the code against real Win32 on kernels that run no
# 32-bit programs. It reads the registry's 32-bit view, as the release does.
# It is never shipped.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TIDEMARK_MINGW_TRIPLE x86_64-w64-mingw32)
set(TIDEMARK_WINE_ARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
