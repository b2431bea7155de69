// The careless way to load libraries and start programs, by bare name, used
// to show that the planted markers of the loading tests do fire when a
// program searches its own and its working folder.
//   naive_loader NAME...   loads each NAME with LoadLibraryW; a NAME ending
//                          in .exe is started with CreateProcessW instead
//                          (no application name) and waited for
#include <windows.h>

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv) {
  for (int i = 1; i < argc; ++i) {
    std::wstring name = argv[i];
    if (name.size() > 4 && name.compare(name.size() - 4, 4, L".exe") == 0) {
      STARTUPINFOW startup = {};
      startup.cb = sizeof startup;
      PROCESS_INFORMATION process = {};
      if (CreateProcessW(nullptr, &name[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                         &process)) {
        WaitForSingleObject(process.hProcess, 10000);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
      }
    } else {
      std::printf("%ls: %s\n", name.c_str(), LoadLibraryW(name.c_str()) ? "loaded" : "not loaded");
    }
  }
  return 0;
}
