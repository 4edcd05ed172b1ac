# Cross-builds kapolex for 64-bit Windows with Debian's MinGW-w64 compilers
# (the posix thread model, which std::thread and GoogleTest need) and runs
# the built programs under wine, through wine-run.sh, for the tests.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(kapolex_mingw_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${kapolex_mingw_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${kapolex_mingw_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${kapolex_mingw_triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${kapolex_mingw_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A static link leaves programs that need only what every Windows has
# (KERNEL32, SHELL32 and msvcrt), so that the zip's programs run anywhere.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
# -static alone would not do for zlib: FindZLIB would hand the linker the
# import library libz.dll.a by its full path.
set(ZLIB_USE_STATIC_LIBS ON)

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
