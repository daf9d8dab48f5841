# Cross-build for 32-bit Windows with MinGW-w64: the release. 32-bit on
# purpose: the programs Tidemark starts and the registry entries it reads are
# 32-bit ones, and a 32-bit program sees the same registry view they do.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TIDEMARK_MINGW_TRIPLE i686-w64-mingw32)
set(TIDEMARK_WINE_ARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# SSE2 arithmetic: the compiler's default for this target is the x87 unit,
# whose 80-bit registers can round a date-time value differently from every
# other build (native, sanitizers, fuzzers, win64), and near 23:00 or the
# last millisecond of a day that picks another date. With SSE2 doubles the
# release computes bit for bit as the tested builds do. Windows 8 and later
# require SSE2; Vista and 7 do not, and their oldest PCs (Pentium III,
# Athlon XP) lack it. tools/check-x87 proves the project's code keeps to it.
set(TIDEMARK_I686_FLOATING_POINT "-march=pentium4 -mtune=generic -msse2 -mfpmath=sse")
set(CMAKE_C_FLAGS_INIT "${TIDEMARK_I686_FLOATING_POINT}")
set(CMAKE_CXX_FLAGS_INIT "${TIDEMARK_I686_FLOATING_POINT}")
