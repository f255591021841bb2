# Cross-compiles Morrow for 64-bit Windows with mingw-w64:
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# The -posix compilers give std::thread and std::mutex through winpthreads.
# Everything is linked statically, so pbrain-morrow64.exe runs with nothing
# beside it but the DLLs every Windows has.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MORROW_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MORROW_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MORROW_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${MORROW_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MORROW_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Release executables carry no symbols.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")
