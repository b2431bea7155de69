// What happens after an installation or removal: the note and the restart.
#include "core/install.h"
#include "core/system_library.h"

int CInstall::WritePostChangeNote() {
  return SetMachineString(4, 71, OsVersionCode <= 50 ? 51 : 50);
}

int CInstall::RestartSystem() {
  KernelHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                        token.Receive())) {
    token.Release();
    return 0;
  }
  TOKEN_PRIVILEGES privileges = {};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (!LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid)) return 0;
  // Succeeds even when the privilege is not held; only the last error says so.
  SetLastError(ERROR_SUCCESS);
  AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 0, nullptr, nullptr);
  if (GetLastError() != ERROR_SUCCESS) return 0;

  GString none;
  none.AssignWide(u"");
  constexpr DWORD PlannedReconfiguration =
      SHTDN_REASON_FLAG_PLANNED | SHTDN_REASON_MAJOR_OPERATINGSYSTEM | SHTDN_REASON_MINOR_RECONFIG;
  // The call with a reason exists from XP on; Windows 2000 has only the plain one.
  using ShutdownExFn = BOOL(WINAPI*)(LPWSTR, LPWSTR, DWORD, BOOL, BOOL, DWORD);
  static const char16_t kAdvapi[] = u"advapi32.dll";
  Module advapi(LoadSystemLibrary(kAdvapi, int(sizeof kAdvapi / 2 - 1)));
  auto shutdownEx = reinterpret_cast<ShutdownExFn>(
      reinterpret_cast<void*>(GetProcAddress(advapi.Get(), "InitiateSystemShutdownExW")));
  if (shutdownEx != nullptr) {
    return shutdownEx(nullptr, const_cast<wchar_t*>(WinText(none)), 0, FALSE, TRUE,
                      PlannedReconfiguration);
  }
  return InitiateSystemShutdownW(nullptr, const_cast<wchar_t*>(WinText(none)), 0, FALSE, TRUE);
}
