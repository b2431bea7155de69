# Shared part of the mingw-w64 toolchain files: the caller sets mingw_triple
# and mingw_compiler_suffix.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER   ${mingw_triple}-gcc-${mingw_compiler_suffix})
set(CMAKE_CXX_COMPILER ${mingw_triple}-g++-${mingw_compiler_suffix})
set(CMAKE_RC_COMPILER  ${mingw_triple}-windres)
# Reads import tables for the build's import check.
set(MINGW_OBJDUMP      ${mingw_triple}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${mingw_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
