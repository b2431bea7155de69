// Where the program lets Windows look for libraries. The program runs
// elevated, usually from a download folder where anyone may have left a
// library named like a system one; it must only ever load the system's copy.
//
// These functions run before the C runtime is initialised (the program's
// entry point calls them first), so they use nothing but kernel32 and static
// storage: no allocation, no C++ objects with constructors.
#pragma once

#include <windows.h>

// Restricts the library search of the whole process to the system folder.
// With the search-restriction call (Windows 8 on, and earlier systems with its
// update) the system folder becomes the only place searched. Without it, the
// current folder is dropped from the search where possible and the libraries
// the program and the system's own libraries load later are loaded now from
// the system folder by full path, so later loads by name find them loaded.
// 0 when the program must not go on: a `.local` redirection file or folder
// sits beside the program (see ProgramHasLocalRedirection).
int ProtectLibrarySearch();

// The part of ProtectLibrarySearch for systems without the search-restriction
// call: current folder out of the search, system libraries preloaded by full
// path. Exposed so that this path can be exercised where the call exists.
void ProtectLibrarySearchWithoutRestriction();

// 1 when "<program path>.local" exists as a file or folder, or when that
// cannot be ruled out. Such an entry makes the loader look in it before
// anywhere else, even for a library named by full path and for the common
// controls the manifest binds (in a subfolder named after the assembly);
// nothing the program does after its start can undo that.
int ProgramHasLocalRedirection();

// The libraries ProtectLibrarySearchWithoutRestriction loads by full path:
// plain file names ending in a null entry.
extern const wchar_t* const PreloadedSystemLibraries[];
