# What both Windows cross-builds share. The including toolchain file sets
# TIDEMARK_MINGW_TRIPLE (the compiler prefix) and CMAKE_SYSTEM_PROCESSOR.
set(CMAKE_SYSTEM_NAME Windows)

# The posix thread model: GoogleTest needs std::mutex. Everything is linked
# statically, so no winpthreads DLL is needed at run time.
set(CMAKE_C_COMPILER ${TIDEMARK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TIDEMARK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TIDEMARK_MINGW_TRIPLE}-windres)
set(CMAKE_STRIP ${TIDEMARK_MINGW_TRIPLE}-strip)

set(CMAKE_FIND_ROOT_PATH /usr/${TIDEMARK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Link the C++ run-time in, so the program needs only the system's DLLs. No
# time stamp in the PE header: the same sources, built with the same tools,
# give the same bytes.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--no-insert-timestamp")

# Test programs run under Wine (tools/wine-run), with the loader that fits
# this build: TIDEMARK_WINE_ARCH reaches the tests through their environment.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run)
