// Facts about the running system and the checks made before the wizard opens.
#include <windows.h>
#include <shlwapi.h>

#include <memory>
#include <new>

#include "core/environment_rules.h"
#include "core/install.h"
#include "core/system_library.h"

namespace {

using GetNativeSystemInfoFn = void(WINAPI*)(LPSYSTEM_INFO);

}  // namespace

int CInstall::QueryEnvironment(uint32_t functionNameId, uint32_t libraryNameId) {
  ProcessorArchitecture = ArchUnknown;
  OsVersionCode = 0;
  Is64BitWindows = 0;

  // The extended structure first; systems before it accept only the basic one.
  OSVERSIONINFOEXW version = {};
  version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXW);
  if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version))) {
    version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
    if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version))) return 0;
  }
  OsVersionCode = int32_t(version.dwMajorVersion * 10 + version.dwMinorVersion);

  // The native query tells the real architecture to a program under WOW64;
  // GetSystemInfo would report the emulated one.
  SYSTEM_INFO info = {};
  HMODULE module = nullptr;
  auto native = reinterpret_cast<GetNativeSystemInfoFn>(
      reinterpret_cast<void*>(GetProcAddressById(functionNameId, libraryNameId, module)));
  if (native != nullptr) {
    native(&info);
  } else {
    GetSystemInfo(&info);
  }
  if (module != nullptr) FreeLibrary(module);

  ProcessorArchitecture = info.wProcessorArchitecture;
  Is64BitWindows =
      (ProcessorArchitecture == ArchAMD64 || ProcessorArchitecture == ArchIA64) ? 1 : 0;
  return 1;
}

int CInstall::IsSupportedSystem() {
  return IsSupportedPlatform(OsVersionCode, ProcessorArchitecture) ? 1 : 0;
}

int CInstall::CheckSingleInstance() {
  LoadText(94, ScratchText);
  if (ScratchText.Length() == 0) return 1;
  HWND other = FindWindowW(WinText(ScratchText), nullptr);
  if (other == nullptr) return 1;
  SetForegroundWindow(other);
  return 0;
}

int CInstall::IsUserAdmin() {
  SID_IDENTIFIER_AUTHORITY ntAuthority = {SECURITY_NT_AUTHORITY};
  PSID administrators = nullptr;
  if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &administrators)) {
    return 0;
  }
  BOOL member = FALSE;
  if (!CheckTokenMembership(nullptr, administrators, &member)) member = FALSE;
  FreeSid(administrators);
  return member ? 1 : 0;
}

// Every failure of its own counts as success: only a list that could be read
// and holds no Cyrillic language stops the wizard.
int CInstall::HasCyrillicInputLanguage() {
  if (OsVersionCode < 62) return 1;
  const int count = GetKeyboardLayoutList(0, nullptr);
  if (count <= 0) return 1;
  std::unique_ptr<HKL[]> layouts(new (std::nothrow) HKL[count]);
  if (!layouts) return 1;
  const int filled = GetKeyboardLayoutList(count, layouts.get());
  if (filled <= 0) return 1;
  for (int i = 0; i < filled && i < count; ++i) {
    const auto langId = static_cast<uint16_t>(reinterpret_cast<uintptr_t>(layouts[i]) & 0xFFFF);
    if (IsCyrillicLanguage(langId)) return 1;
  }
  return 0;
}

int CInstall::AssocExecutableContains(uint32_t assocId, uint32_t textId) {
  GString association;
  if (!LoadText(assocId, association) || association.Length() == 0) return 0;
  GString path;
  DWORD length = 2048;
  char16_t* buffer = path.WideAppendBuffer(int(length));
  if (buffer == nullptr) return 0;
  HRESULT result = QueryAssociatedExecutable(WinText(association), WinText(buffer), &length);
  if (result == E_POINTER) {
    buffer = path.WideAppendBuffer(int(length));
    if (buffer == nullptr) return 0;
  }
  // Asked again in every case: the first answer may only have been the size.
  result = QueryAssociatedExecutable(WinText(association), WinText(buffer), &length);
  if (FAILED(result)) return 0;
  path.SetLength(-1);  // the reported length counts the terminator
  path.ToUpper();
  LoadText(textId, ScratchText);
  return path.Find(ScratchText, 0) >= 0 ? 1 : 0;
}

int CInstall::LaunchAssociated() {
  GString document;
  LoadText(95, document);
  return OpenWithAssociatedProgram(41, 2, document);
}

HMODULE CInstall::LoadLibraryById(uint32_t libraryNameId) {
  GString name;
  if (!LoadText(libraryNameId, name)) return nullptr;
  return LoadSystemLibrary(name.WideText(0), name.Length());
}

FARPROC CInstall::GetProcAddressById(uint32_t functionNameId, uint32_t libraryNameId,
                                     HMODULE& module) {
  if (module == nullptr) {
    module = LoadLibraryById(libraryNameId);
    if (module == nullptr) return nullptr;
  }
  GString name;
  if (!LoadText(functionNameId, name) || name.ToNarrow(0) == nullptr) return nullptr;
  if (name.Length() == 0) return nullptr;
  return GetProcAddress(module, name.NarrowText(0));
}
