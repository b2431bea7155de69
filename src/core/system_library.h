// Loading system libraries and starting system programs, safely for a program
// that runs elevated from a download folder: a plain name would be searched for
// in this program's own folder and the current folder before the system
// folder, and would find whatever lies there under that name.
#pragma once

#include <windows.h>

#include "text/gstring.h"

// `name` (a plain file name) in the system folder, as a full path. 0, with
// `out` empty, for a name with a folder or drive in it.
int SystemFolderPath(const char16_t* name, int length, GString& out);

// Loads `name` (a plain file name) from the system folder, never through the
// search order, so a library of the same name beside the program is never the
// one loaded. Null for a name with a folder or drive in it.
HMODULE LoadSystemLibrary(const char16_t* name, int length);

// The full path of the program a command line starts, when the command names
// it without a folder: the system folder's program of that name (".exe" added
// when the name has no extension). Empty when the program has a folder of its
// own (it is taken as given). 0 when the system folder cannot be found.
int SystemProgramPath(const GString& commandLine, GString& out);

// Loads the common controls and registers their window classes. Where the
// program's manifest binds the side-by-side version 6, the activation context
// resolves the name (the system's side-by-side store, never the program's
// folder); elsewhere (Windows 2000) the system folder's copy is loaded by full
// path. The library stays loaded for the life of the process: every dialog
// control of the wizard lives in it. 1 when the classes were registered.
int LoadCommonControls();

// The shell's association query (ASSOCSTR_EXECUTABLE, no flags, no extra),
// from the system folder's shell helper library, loaded for the call.
// An error result when the library or the function is missing.
HRESULT QueryAssociatedExecutable(const wchar_t* association, wchar_t* out, DWORD* length);
