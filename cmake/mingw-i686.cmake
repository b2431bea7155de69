# The product for 32-bit Windows. The win32 thread model on purpose: the posix
# model's thread library imports functions Windows 2000 and XP lack
# (GetTickCount64), and the product starts no thread of its own.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(mingw_triple i686-w64-mingw32)
set(mingw_compiler_suffix win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
