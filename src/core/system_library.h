// Loading system libraries and starting system programs, safely for a program
// that runs elevated from a download folder: a plain name would be searched for
// in this program's own folder and the current folder before the system
// folder, and would find whatever lies there under that name.
#pragma once

#include <windows.h>

class GString;

// Loads `name` (a plain file name) from the system folder, never through the
// search order, so a library of the same name beside the program is never the
// one loaded. Null for a name with a folder or drive in it.
HMODULE LoadSystemLibrary(const char16_t* name, int length);

// The full path of the program a command line starts, when the command names
// it without a folder: the system folder's program of that name (".exe" added
// when the name has no extension). Empty when the program has a folder of its
// own (it is taken as given). 0 when the system folder cannot be found.
int SystemProgramPath(const GString& commandLine, GString& out);
