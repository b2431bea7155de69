// An entry point for a test build of the setup program that takes the path of
// systems without the search-restriction call even where the call exists:
// current folder out of the search, system libraries preloaded by full path.
// The loading tests walk this build too, to see that the preloaded list
// covers what the program loads later.
#include <windows.h>

#include "core/library_search.h"

extern "C" int WinMainCRTStartup();

extern "C" int FallbackStartup() {
  if (ProgramHasLocalRedirection()) ExitProcess(0);
  ProtectLibrarySearchWithoutRestriction();
  return WinMainCRTStartup();
}
