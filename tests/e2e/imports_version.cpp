// A program that imports a library Windows does not protect (version.dll):
// the import check must refuse it.
#include <windows.h>

int wmain() { return int(GetFileVersionInfoSizeW(L"kernel32.dll", nullptr) == 0); }
