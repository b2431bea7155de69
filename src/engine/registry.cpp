// The program's own registry records (shared, component and package keys), the
// layout registration, the scancode map and the per-user toggle values.
#include "core/install.h"
#include "core/key_map.h"
#include "text/format.h"

namespace {

// String ids of the key paths.
constexpr uint32_t LayoutsKeyId = 3;   // where Windows keeps keyboard layout registrations
constexpr uint32_t ScancodeKeyId = 5;  // key of the machine-wide scancode map
constexpr uint32_t SoftwareKeyId = 7;  // only ever opened, never created
constexpr uint32_t VendorKeyId = 8;
constexpr uint32_t SharedKeyId = 10;
constexpr uint32_t ToggleKeyId = 13;
constexpr uint32_t ComponentsKeyId = 24;
constexpr uint32_t ComponentKeyId = 23;
constexpr uint32_t PackagesKeyId = 36;
constexpr uint32_t LayoutKeyId = 85;
constexpr uint32_t PackageKeyId = 89;

constexpr REGSAM SetAndCreate = KEY_SET_VALUE | KEY_CREATE_SUB_KEY;

// A saved value and where it is read back to; a required value that is
// missing ends the reading.
struct SavedValue {
  uint32_t nameId;
  int path;  // index into Paths, or -1 for a number
  bool required;
};

}  // namespace

// Reads the shared, component and package records in that order; a missing
// key or required value ends the reading, and what was read so far stays.
void CInstall::LoadPackageRecords() {
  RegistryKey software = OpenKeyById(HKEY_LOCAL_MACHINE, SoftwareKeyId, KEY_READ);
  RegistryKey vendor = OpenKeyById(software.Get(), VendorKeyId, KEY_READ);
  RegistryKey shared = OpenKeyById(vendor.Get(), SharedKeyId, KEY_READ);
  if (!shared) return;

  auto readAll = [&](HKEY key, std::initializer_list<SavedValue> values,
                     std::initializer_list<std::pair<uint32_t, int32_t*>> numbers) {
    for (const SavedValue& v : values) {
      bool read;
      if (v.path >= 0) {
        read = ReadStringById(key, v.nameId, Paths[v.path]) != 0;
      } else {
        uint32_t number = 0;
        read = ReadDwordById(key, v.nameId, number) != 0;
        for (const auto& [id, member] : numbers) {
          if (read && id == v.nameId) *member = int32_t(number);
        }
      }
      if (!read && v.required) return false;
    }
    return true;
  };

  if (!readAll(shared.Get(),
               {{11, SavedPriorLayout, true},
                {21, -1, true},
                {72, OldTextFile, true},
                {73, OldTextMenuLink, false},
                {74, OldTextDesktopLink, false},
                {75, OldPageMenuPointer, true},
                {76, OldPageDesktopPointer, false},
                {31, OldSharedFile, true},
                {32, OldSharedMenuLink, true},
                {33, OldSharedDesktopLink, false},
                {79, OldPageFile, true},
                {34, -1, true}},
               {{21, &SharedInstallCount}, {34, &SharedStamp}})) {
    return;
  }

  RegistryKey components = OpenKeyById(shared.Get(), ComponentsKeyId, KEY_READ);
  RegistryKey component = OpenKeyById(components.Get(), ComponentKeyId, KEY_READ);
  if (component && !readAll(component.Get(),
                            {{25, OldComponentFile, true},
                             {26, OldComponentMenuLink, true},
                             {27, OldComponentDesktopLink, false},
                             {28, -1, true},
                             {29, -1, true}},
                            {{28, &ComponentStamp}, {29, &ComponentRefCount}})) {
    return;
  }

  RegistryKey packages = OpenKeyById(shared.Get(), PackagesKeyId, KEY_READ);
  RegistryKey package = OpenKeyById(packages.Get(), PackageKeyId, KEY_READ);
  if (!package) return;
  int32_t state = 0;
  if (!readAll(package.Get(),
               {{37, OldSetupCopy, true}, {38, OldSetupMenuLink, true}, {39, -1, true}},
               {{39, &state}})) {
    return;
  }
  InstallState = state;

  uint32_t size = 0;
  std::unique_ptr<uint8_t[]> pairs = ReadBinaryById(package.Get(), 157, size);
  ApplySavedKeyMap(std::move(pairs), size);
  uint32_t value = 0;
  if (ReadDwordById(package.Get(), 158, value) && value <= 2) LayoutVariant = int32_t(value);
  if (ReadDwordById(package.Get(), 159, value) && value <= 1) DecimalKeyChoice = int32_t(value);
  if (ReadDwordById(package.Get(), 155, value) && value <= 1) OptLayoutFlag = int32_t(value);
  if (ReadDwordById(package.Get(), 156, value) && value <= 1) SavedLayoutFlag = int32_t(value);
}

void CInstall::LoadInstallInfo() {
  InstallState = 0;
  LoadPackageRecords();
  if (InstallState != 0) return;
  // No record of ours: a layout registration with our identifying values is an
  // installation by an older release.
  const REGSAM access = KEY_READ | (OsVersionCode > 50 ? KEY_WOW64_64KEY : 0);
  RegistryKey layouts = OpenKeyById(HKEY_LOCAL_MACHINE, LayoutsKeyId, access);
  RegistryKey layout = OpenKeyById(layouts.Get(), LayoutKeyId, access);
  if (!layout) return;
  GString expected;
  const std::pair<uint32_t, uint32_t> identity[] = {{17, 81}, {19, 84}, {18, 83}};
  for (const auto& [name, data] : identity) {
    LoadText(data, expected);
    if (!StringEqualsById(layout.Get(), name, expected)) return;
  }
  InstallState = LegacyInstallState;
}

int CInstall::RegisterLayoutKey() {
  const REGSAM access = SetAndCreate | (Is64BitWindows ? KEY_WOW64_64KEY : 0);
  RegistryKey layouts = OpenKeyById(HKEY_LOCAL_MACHINE, LayoutsKeyId, access);
  RegistryKey layout = CreateKeyById(layouts.Get(), LayoutKeyId, access);
  if (!layout) return 0;
  const std::pair<uint32_t, uint32_t> values[] = {{17, 81}, {20, 87}, {19, 84}, {18, 83}};
  for (const auto& [name, data] : values) {
    if (!SetStringDataById(layout.Get(), name, data)) return 0;
  }
  return 1;
}

int CInstall::UnregisterLayoutKey() {
  const REGSAM access = KEY_WRITE | (Is64BitWindows ? KEY_WOW64_64KEY : 0);
  RegistryKey layouts = OpenKeyById(HKEY_LOCAL_MACHINE, LayoutsKeyId, access);
  {
    RegistryKey layout = OpenKeyById(layouts.Get(), LayoutKeyId, access);
    if (!layout) return 0;
    for (uint32_t name : {17u, 20u, 19u, 18u}) DeleteValueById(layout.Get(), name);
  }

  // A 32-bit program must name the 64-bit view to delete the key there; the
  // function for that exists from XP x64 on, so it is found at run time.
  using DeleteKeyExFn = LONG(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);
  bool deleted = false;
  if (Is64BitWindows) {
    HMODULE library = nullptr;
    auto deleteKeyEx = reinterpret_cast<DeleteKeyExFn>(
        reinterpret_cast<void*>(GetProcAddressById(59, 145, library)));
    GString name;
    if (deleteKeyEx != nullptr && LoadText(LayoutKeyId, name) && name.Length() > 0) {
      deleted = deleteKeyEx(layouts.Get(), WinText(name), KEY_WOW64_64KEY, 0) == ERROR_SUCCESS;
    }
    if (library != nullptr) FreeLibrary(library);
  }
  if (!deleted) DeleteKeyById(layouts.Get(), LayoutKeyId);
  return 1;
}

int CInstall::RemoveInstallInfo() {
  RegistryKey software = OpenKeyById(HKEY_LOCAL_MACHINE, SoftwareKeyId, KEY_WRITE);
  RegistryKey vendor = OpenKeyById(software.Get(), VendorKeyId, KEY_WRITE);
  RegistryKey shared = OpenKeyById(vendor.Get(), SharedKeyId, KEY_WRITE);
  RegistryKey packages = OpenKeyById(shared.Get(), PackagesKeyId, KEY_WRITE);
  if (!packages) return 0;
  {
    RegistryKey package = OpenKeyById(packages.Get(), PackageKeyId, KEY_WRITE);
    if (!package) return 0;
    for (uint32_t name : {37u, 38u, 39u}) DeleteValueById(package.Get(), name);
  }
  DeleteKeyById(packages.Get(), PackageKeyId);
  packages.Reset();
  // Fails harmlessly while other packages' keys remain below it.
  DeleteKeyById(shared.Get(), PackagesKeyId);

  RegistryKey components = OpenKeyById(shared.Get(), ComponentsKeyId, KEY_WRITE);
  if (components) {
    RegistryKey component = OpenKeyById(components.Get(), ComponentKeyId, KEY_WRITE);
    if (ComponentRefCount != 0) {
      SetDwordById(component.Get(), 29, uint32_t(ComponentRefCount));
    } else {
      for (uint32_t name : {25u, 26u, 27u, 28u, 29u}) DeleteValueById(component.Get(), name);
      component.Reset();
      DeleteKeyById(components.Get(), ComponentKeyId);
      components.Reset();
      DeleteKeyById(shared.Get(), ComponentsKeyId);
    }
  }

  if (SharedInstallCount != 0) {
    SetDwordById(shared.Get(), 21, uint32_t(SharedInstallCount));
  } else {
    for (uint32_t name : {11u, 21u, 73u, 72u, 74u, 75u, 76u, 31u, 32u, 33u, 79u, 34u}) {
      DeleteValueById(shared.Get(), name);
    }
    shared.Reset();
    DeleteKeyById(vendor.Get(), SharedKeyId);
    vendor.Reset();
    DeleteKeyById(software.Get(), VendorKeyId);
  }
  return 1;
}

int CInstall::WriteToggleValues() {
  RegistryKey toggle = OpenKeyById(HKEY_CURRENT_USER, ToggleKeyId, KEY_READ | KEY_WRITE);
  if (!toggle) return 0;
  GString three;
  three.AssignWide(u"3");
  for (uint32_t name : {14u, 15u, 16u}) {
    if (!SetStringById(toggle.Get(), name, three)) return 0;
  }
  return 1;
}

int CInstall::WriteScancodeMap() {
  if (!KeyMap || KeyMapCount == 0) return 0;
  // Leave a machine without a map as it is when nothing is remapped; an
  // earlier map is replaced by the empty one, which clears it.
  if (CountTargetScancodes(KeyMap.get(), KeyMapCount) == 0 && !HadScancodeMap) return 1;
  RegistryKey key = OpenKeyById(HKEY_LOCAL_MACHINE, ScancodeKeyId, KEY_READ | KEY_WRITE);
  if (!key) return 0;
  // Mappings of keys the table does not hold were made by someone else: the
  // map as it is now keeps them (a value that is not a map keeps nothing).
  uint32_t existingSize = 0;
  const std::unique_ptr<uint8_t[]> existing = ReadBinaryById(key.Get(), 6, existingSize);
  const std::vector<uint8_t> value =
      BuildScancodeMap(KeyMap.get(), KeyMapCount, existing.get(), existingSize);
  return SetBinaryById(key.Get(), 6, value.data(), uint32_t(value.size()));
}

int CInstall::SetMachineString(uint32_t keyId, uint32_t valueNameId, uint32_t dataId) {
  RegistryKey key = OpenKeyById(HKEY_LOCAL_MACHINE, keyId, SetAndCreate);
  return SetStringDataById(key.Get(), valueNameId, dataId);
}

// The options the package key carries in every mode, then the chosen keys.
int CInstall::SavePackageOptions(HKEY package) {
  const std::pair<uint32_t, int32_t> options[] = {
      {158, LayoutVariant}, {159, DecimalKeyChoice}, {155, OptLayoutFlag}, {156, SavedLayoutFlag}};
  for (const auto& [name, value] : options) {
    if (!SetDwordById(package, name, uint32_t(value))) return 0;
  }
  uint32_t size = 0;
  std::unique_ptr<uint8_t[]> pairs = PackKeyMap(size);
  if (pairs) SetBinaryById(package, 157, pairs.get(), size);
  return 1;
}

int CInstall::SaveInstallInfo() {
  if (ModifyMode) {
    // Only the options change; a package that was never recorded is not
    // recorded half-way now.
    RegistryKey software = OpenKeyById(HKEY_LOCAL_MACHINE, SoftwareKeyId, KEY_WRITE);
    RegistryKey vendor = OpenKeyById(software.Get(), VendorKeyId, KEY_WRITE);
    RegistryKey shared = OpenKeyById(vendor.Get(), SharedKeyId, KEY_WRITE);
    RegistryKey packages = OpenKeyById(shared.Get(), PackagesKeyId, KEY_WRITE);
    RegistryKey package = OpenKeyById(packages.Get(), PackageKeyId, KEY_WRITE);
    if (!package) return 0;
    return SavePackageOptions(package.Get());
  }

  // The layout the user had before the first installation is recorded once;
  // later installations must not overwrite it with this package's own layout.
  GString priorLayout;
  const bool firstInstallation = Paths[SavedPriorLayout].Length() == 0;
  if (firstInstallation) {
    const LANGID language = GetUserDefaultLangID();
    wchar_t layoutName[10] = {};  // eight hex digits and the NUL fit
    if (!GetKeyboardLayoutNameW(layoutName)) return 0;
    GString format;
    if (!LoadText(12, format) || !Format(priorLayout, format.WideText(0), int(language),
                                         reinterpret_cast<const char16_t*>(layoutName))) {
      return 0;
    }
  }

  RegistryKey software = OpenKeyById(HKEY_LOCAL_MACHINE, SoftwareKeyId, KEY_WRITE);
  if (!software) return 0;
  RegistryKey vendor = CreateKeyById(software.Get(), VendorKeyId, KEY_WRITE);
  RegistryKey shared = CreateKeyById(vendor.Get(), SharedKeyId, KEY_WRITE);
  if (!shared) return 0;
  HKEY s = shared.Get();
  if (firstInstallation && !SetStringById(s, 11, priorLayout)) return 0;
  if (Paths[OldTextMenuLink].Length() == 0) {
    if (!SetStringById(s, 73, Paths[TextMenuLink]) || !SetStringById(s, 72, Paths[TextFile])) {
      return 0;
    }
  }
  if (TextDesktopLinkMade && !SetStringById(s, 74, Paths[TextDesktopLink])) return 0;
  if (Paths[OldPageMenuPointer].Length() == 0) {
    if (!SetStringById(s, 75, Paths[PageMenuPointer]) ||
        !SetStringById(s, 76, Paths[PageDesktopPointer]) ||
        !SetStringById(s, 79, Paths[PageFile])) {
      return 0;
    }
  }
  if (SharedStamp < InstallStamp) {
    if (!SetStringById(s, 31, Paths[SharedFile]) || !SetStringById(s, 32, Paths[SharedMenuLink])) {
      return 0;
    }
    if (SharedDesktopLinkMade && !SetStringById(s, 33, Paths[SharedDesktopLink])) return 0;
    SetDwordById(s, 34, uint32_t(InstallStamp));
  }

  {
    RegistryKey components = CreateKeyById(s, ComponentsKeyId, KEY_WRITE);
    RegistryKey component = CreateKeyById(components.Get(), ComponentKeyId, KEY_WRITE);
    HKEY c = component.Get();
    if (!SetStringById(c, 25, Paths[ComponentFile]) ||
        !SetStringById(c, 26, Paths[ComponentMenuLink]) ||
        (ComponentDesktopLinkMade && !SetStringById(c, 27, Paths[ComponentDesktopLink])) ||
        !SetDwordById(c, 28, uint32_t(InstallStamp)) ||
        !SetDwordById(c, 29, uint32_t(ComponentRefCount))) {
      return 0;
    }
  }

  RegistryKey packages = CreateKeyById(s, PackagesKeyId, KEY_WRITE);
  RegistryKey package = CreateKeyById(packages.Get(), PackageKeyId, KEY_WRITE);
  HKEY p = package.Get();
  // The package count goes in right before the stamp that marks this package
  // as counted. A run that dies before the count leaves the package unrecorded
  // and the count as it was, so the next run counts it once; only a death
  // between the two writes counts it twice, which keeps the shared items
  // rather than losing them.
  if (!SetStringById(p, 37, Paths[SetupCopy]) || !SetStringById(p, 38, Paths[SetupMenuLink]) ||
      !SetDwordById(s, 21, uint32_t(SharedInstallCount)) ||
      !SetDwordById(p, 39, uint32_t(InstallStamp))) {
    return 0;
  }
  return SavePackageOptions(p);
}
