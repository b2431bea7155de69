# The 64-bit twin and the Windows tests. The posix thread model carries the
# std::mutex GoogleTest needs.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(mingw_triple x86_64-w64-mingw32)
set(mingw_compiler_suffix posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
