#include "change_budget.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <climits>
#include <cstdint>
#include <cstring>

namespace changebudget {
namespace {

bool armed = false;
int allowed = 0;
int made = 0;

// Whether the next change may happen; counts it when it may.
std::vector<std::string> calls;

bool Allow(const char* name) {
  if (!armed) return true;
  calls.push_back(name);
  if (made >= allowed) return false;
  ++made;
  return true;
}

// Points the import table's entry for `dll`!`name` at `hook`; returns the
// function it pointed at, or null when the program does not import it.
void* Patch(const char* dll, const char* name, void* hook) {
  auto* base = reinterpret_cast<uint8_t*>(GetModuleHandleW(nullptr));
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  void* original = nullptr;
  for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       d->Name != 0; ++d) {
    if (_stricmp(reinterpret_cast<const char*>(base + d->Name), dll) != 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), name) != 0) continue;
      DWORD protection = 0;
      VirtualProtect(&slots->u1.Function, sizeof(void*), PAGE_READWRITE, &protection);
      original = reinterpret_cast<void*>(slots->u1.Function);
      slots->u1.Function = reinterpret_cast<ULONG_PTR>(hook);
      VirtualProtect(&slots->u1.Function, sizeof(void*), protection, &protection);
    }
  }
  return original;
}

// One hook per function: the original is kept in the hook's own static.
#define HOOK(dll, ret, name, params, args, changes, fail)                                    \
  using name##Fn = ret(WINAPI*) params;                                                      \
  name##Fn Real##name = nullptr;                                                             \
  ret WINAPI Hook##name params {                                                             \
    if ((changes) && !Allow(#name)) {                                                        \
      fail;                                                                                  \
    }                                                                                        \
    return Real##name args;                                                                  \
  }                                                                                          \
  void Install##name() {                                                                     \
    Real##name =                                                                             \
        reinterpret_cast<name##Fn>(Patch(dll, #name, reinterpret_cast<void*>(&Hook##name))); \
  }

constexpr DWORD Denied = ERROR_ACCESS_DENIED;

bool Writes(DWORD access, DWORD disposition) {
  return (access & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA)) != 0 ||
         disposition == CREATE_ALWAYS || disposition == CREATE_NEW ||
         disposition == TRUNCATE_EXISTING;
}

HOOK("kernel32.dll", HANDLE, CreateFileW,
     (LPCWSTR a, DWORD b, DWORD c, LPSECURITY_ATTRIBUTES d, DWORD e, DWORD f, HANDLE g),
     (a, b, c, d, e, f, g), Writes(b, e), SetLastError(Denied);
     return INVALID_HANDLE_VALUE)
HOOK("kernel32.dll", BOOL, WriteFile, (HANDLE a, LPCVOID b, DWORD c, LPDWORD d, LPOVERLAPPED e),
     (a, b, c, d, e), true, if (d) * d = 0;
     SetLastError(Denied); return FALSE)
HOOK("kernel32.dll", BOOL, DeleteFileW, (LPCWSTR a), (a), true, SetLastError(Denied); return FALSE)
HOOK("kernel32.dll", BOOL, MoveFileExW, (LPCWSTR a, LPCWSTR b, DWORD c), (a, b, c), true,
     SetLastError(Denied);
     return FALSE)
HOOK("kernel32.dll", BOOL, CopyFileW, (LPCWSTR a, LPCWSTR b, BOOL c), (a, b, c), true,
     SetLastError(Denied);
     return FALSE)
HOOK("kernel32.dll", BOOL, CreateDirectoryW, (LPCWSTR a, LPSECURITY_ATTRIBUTES b), (a, b), true,
     SetLastError(Denied);
     return FALSE)
HOOK("kernel32.dll", BOOL, RemoveDirectoryW, (LPCWSTR a), (a), true, SetLastError(Denied);
     return FALSE)
HOOK("kernel32.dll", UINT, GetTempFileNameW, (LPCWSTR a, LPCWSTR b, UINT c, LPWSTR d), (a, b, c, d),
     c == 0, SetLastError(Denied);
     return 0)
HOOK("advapi32.dll", LONG, RegCreateKeyExW,
     (HKEY a, LPCWSTR b, DWORD c, LPWSTR d, DWORD e, REGSAM f, const LPSECURITY_ATTRIBUTES g,
      PHKEY h, LPDWORD i),
     (a, b, c, d, e, f, g, h, i), true, return LONG(Denied))
HOOK("advapi32.dll", LONG, RegSetValueExW,
     (HKEY a, LPCWSTR b, DWORD c, DWORD d, const BYTE* e, DWORD f), (a, b, c, d, e, f), true,
     return LONG(Denied))
HOOK("advapi32.dll", LONG, RegDeleteValueW, (HKEY a, LPCWSTR b), (a, b), true, return LONG(Denied))
HOOK("advapi32.dll", LONG, RegDeleteKeyW, (HKEY a, LPCWSTR b), (a, b), true, return LONG(Denied))
HOOK("ole32.dll", HRESULT, CoCreateInstance,
     (REFCLSID a, LPUNKNOWN b, DWORD c, REFIID d, LPVOID* e), (a, b, c, d, e),
     IsEqualCLSID(a, CLSID_ShellLink), if (e) * e = nullptr;
     return E_ACCESSDENIED)

// The view-aware key deletion is looked up at run time.
using RegDeleteKeyExWFn = LONG(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);
RegDeleteKeyExWFn RealRegDeleteKeyExW = nullptr;
LONG WINAPI HookRegDeleteKeyExW(HKEY a, LPCWSTR b, REGSAM c, DWORD d) {
  if (!Allow("RegDeleteKeyExW")) return LONG(Denied);
  return RealRegDeleteKeyExW(a, b, c, d);
}

// The redirection switch changes nothing on the system, but the moves of the
// system's files must happen while it is off. A 64-bit program has no
// redirection to switch, and the system says so; the switch then answers as
// it does for the 32-bit program on 64-bit Windows, with a state of its own
// that only it takes back.
using RedirectionOffFn = BOOL(WINAPI*)(PVOID*);
using RedirectionRestoreFn = BOOL(WINAPI*)(PVOID);
RedirectionOffFn RealRedirectionOff = nullptr;
RedirectionRestoreFn RealRedirectionRestore = nullptr;
int standInState;
BOOL WINAPI HookRedirectionOff(PVOID* saved) {
  if (!armed) return RealRedirectionOff(saved);
  calls.push_back("Wow64DisableWow64FsRedirection");
  if (RealRedirectionOff(saved)) return TRUE;
  *saved = &standInState;
  return TRUE;
}
BOOL WINAPI HookRedirectionRestore(PVOID saved) {
  if (!armed) return RealRedirectionRestore(saved);
  calls.push_back("Wow64RevertWow64FsRedirection");
  return saved == &standInState ? TRUE : RealRedirectionRestore(saved);
}

using GetProcAddressFn = FARPROC(WINAPI*)(HMODULE, LPCSTR);
GetProcAddressFn RealGetProcAddress = nullptr;
FARPROC WINAPI LookUp(HMODULE module, LPCSTR name) {
  FARPROC found = RealGetProcAddress(module, name);
  if (found == nullptr || reinterpret_cast<uintptr_t>(name) <= 0xFFFF) return found;
  void* real = reinterpret_cast<void*>(found);
  void* hook = nullptr;
  if (std::strcmp(name, "RegDeleteKeyExW") == 0) {
    RealRegDeleteKeyExW = reinterpret_cast<RegDeleteKeyExWFn>(real);
    hook = reinterpret_cast<void*>(&HookRegDeleteKeyExW);
  } else if (std::strcmp(name, "Wow64DisableWow64FsRedirection") == 0) {
    RealRedirectionOff = reinterpret_cast<RedirectionOffFn>(real);
    hook = reinterpret_cast<void*>(&HookRedirectionOff);
  } else if (std::strcmp(name, "Wow64RevertWow64FsRedirection") == 0) {
    RealRedirectionRestore = reinterpret_cast<RedirectionRestoreFn>(real);
    hook = reinterpret_cast<void*>(&HookRedirectionRestore);
  }
  return hook != nullptr ? reinterpret_cast<FARPROC>(hook) : found;
}

#undef HOOK

void InstallOnce() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  InstallCreateFileW();
  InstallWriteFile();
  InstallDeleteFileW();
  InstallMoveFileExW();
  InstallCopyFileW();
  InstallCreateDirectoryW();
  InstallRemoveDirectoryW();
  InstallGetTempFileNameW();
  InstallRegCreateKeyExW();
  InstallRegSetValueExW();
  InstallRegDeleteValueW();
  InstallRegDeleteKeyW();
  InstallCoCreateInstance();
  RealGetProcAddress = reinterpret_cast<GetProcAddressFn>(
      Patch("kernel32.dll", "GetProcAddress", reinterpret_cast<void*>(&LookUp)));
}

}  // namespace

void Arm(int changes) {
  InstallOnce();
  armed = true;
  allowed = changes;
  made = 0;
  calls.clear();
}

void ArmUnlimited() { Arm(INT_MAX); }

void Disarm() { armed = false; }

int Made() { return made; }

const std::vector<std::string>& Calls() { return calls; }

}  // namespace changebudget
