// Loading system libraries at run time, safely for a program that runs
// elevated from a download folder.
#pragma once

#include <windows.h>

// Loads `name` (a plain file name) from the system folder, never through the
// search order, so a library of the same name beside the program is never the
// one loaded. Null for a name with a folder or drive in it.
HMODULE LoadSystemLibrary(const char16_t* name, int length);
