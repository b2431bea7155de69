// The installation and the removal, engine only, against a floor: a plain
// program that writes (or deletes) the same registry values and files with
// bare Win32 calls and registers the same moves. Printed as times and ratios,
// with the peak memory of the process after the first installation.
//
// Runs on a machine of its own, as the sequence tests do: the registry's
// machine and user roots and the special folders are redirected into
// throw-away places, and the list of pending moves is put back at the end.
// The Windows XP x64 facts are used (64-bit Windows, both builds staged), so
// that no input-language command runs and the time is the engine's own.
#include <windows.h>
#include <objbase.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "core/install.h"
#include "support/table_builder.h"
#include "win/test_files.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Value {
  HKEY root;
  std::wstring key, name;  // an empty name with type REG_NONE: the key itself
  DWORD type;
  std::string data;
};
struct File {
  std::wstring path;
  bool folder;
  std::string data;
};

std::wstring root;
HKEY machine, user;

void SetText(HKEY hive, const std::wstring& key, const wchar_t* name, const std::wstring& text) {
  HKEY k;
  RegCreateKeyExW(hive, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr);
  if (name) {
    RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   DWORD(2 * (text.size() + 1)));
  }
  RegCloseKey(k);
}

void DumpKey(HKEY hive, HKEY key, const std::wstring& path, std::vector<Value>& out) {
  if (_wcsnicmp(path.c_str(), L"SOFTWARE\\Microsoft", 18) == 0) return;
  if (!path.empty()) out.push_back({hive, path, L"", REG_NONE, ""});
  for (DWORD i = 0;; ++i) {
    wchar_t name[512];
    DWORD n = 512, type = 0, size = 0;
    if (RegEnumValueW(key, i, name, &n, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
    std::string data(size, '\0');
    n = 512;
    RegEnumValueW(key, i, name, &n, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &size);
    out.push_back({hive, path, name, type, data});
  }
  for (DWORD i = 0;; ++i) {
    wchar_t name[512];
    DWORD n = 512;
    if (RegEnumKeyExW(key, i, name, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    HKEY sub;
    if (RegOpenKeyExW(key, name, 0, KEY_READ, &sub) == ERROR_SUCCESS) {
      DumpKey(hive, sub, path.empty() ? name : path + L"\\" + name, out);
      RegCloseKey(sub);
    }
  }
}

// Every file and folder below `folder`, folders before what they hold.
void DumpFiles(const std::wstring& folder, std::vector<File>& out) {
  std::vector<std::pair<std::wstring, std::string>> tree;
  testfiles::ListTree(folder, L"", tree);
  for (auto& [relative, data] : tree) {
    const bool isFolder = relative.back() == L'\\';
    out.push_back({folder + L"\\" + relative.substr(0, relative.size() - (isFolder ? 1 : 0)),
                   isFolder, std::move(data)});
  }
}

// What the installation added: the entries of `after` not in `before`.
template <typename T, typename Same>
std::vector<T> Added(const std::vector<T>& before, const std::vector<T>& after, Same same) {
  std::vector<T> added;
  for (const T& a : after) {
    if (std::none_of(before.begin(), before.end(), [&](const T& b) { return same(a, b); })) {
      added.push_back(a);
    }
  }
  return added;
}

void Undo(const std::vector<Value>& values, const std::vector<File>& files) {
  for (auto it = files.rbegin(); it != files.rend(); ++it) {
    if (it->folder) {
      RemoveDirectoryW(it->path.c_str());
    } else {
      DeleteFileW(it->path.c_str());
    }
  }
  for (auto it = values.rbegin(); it != values.rend(); ++it) {
    if (it->type == REG_NONE) {
      RegDeleteKeyW(it->root, it->key.c_str());
    } else {
      HKEY k;
      if (RegOpenKeyExW(it->root, it->key.c_str(), 0, KEY_SET_VALUE, &k) == ERROR_SUCCESS) {
        RegDeleteValueW(k, it->name.c_str());
        RegCloseKey(k);
      }
    }
  }
}

// The floor: the same values, files and moves with bare calls.
void FloorInstall(const std::vector<Value>& values, const std::vector<File>& files,
                  const std::vector<std::pair<std::wstring, std::wstring>>& moves) {
  for (const File& f : files) {
    if (f.folder) {
      CreateDirectoryW(f.path.c_str(), nullptr);
      continue;
    }
    HANDLE h = CreateFileW(f.path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    if (!f.data.empty()) WriteFile(h, f.data.data(), DWORD(f.data.size()), &written, nullptr);
    CloseHandle(h);
  }
  for (const Value& v : values) {
    HKEY k;
    RegCreateKeyExW(v.root, v.key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr);
    if (v.type != REG_NONE) {
      RegSetValueExW(k, v.name.c_str(), 0, v.type, reinterpret_cast<const BYTE*>(v.data.data()),
                     DWORD(v.data.size()));
    }
    RegCloseKey(k);
  }
  for (const auto& [from, to] : moves) {
    MoveFileExW(from.c_str(), to.empty() ? nullptr : to.c_str(),
                to.empty() ? MOVEFILE_DELAY_UNTIL_REBOOT
                           : MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT);
  }
}

// Starts an installer as the setup does, with no settings command to run.
void Start(CInstall& install) {
  install.LoadPayload();
  TableBuilder table;
  const StringTable& language = install.LanguageStrings[0];
  auto u32 = [](const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
  };
  for (int32_t i = 0; i < language.Count; ++i) {
    const uint8_t* record = language.Pool + u32(language.Index + 8 * i + 4);
    const uint32_t header = u32(record), length = header & 0x1FFFFFFF;
    if (header & 0x80000000u) {
      table.Narrow(u32(language.Index + 8 * i),
                   std::string(reinterpret_cast<const char*>(record + 4), length));
    } else {
      std::u16string text(length, u'\0');
      for (uint32_t k = 0; k < length; ++k)
        text[k] = char16_t(record[4 + 2 * k] | record[5 + 2 * k] << 8);
      table.Wide(u32(language.Index + 8 * i), text);
    }
  }
  table.Wide(49, u"");
  install.LanguageStrings[0].Attach(table.Build(), table.Rows());
  install.OsVersionCode = 52;
  install.ProcessorArchitecture = 9;
  install.Is64BitWindows = 1;
  install.GetLayoutVariant();
  install.GetDecimalKeyChoice();
  install.BuildPaths();
  install.LoadScancodeMap();
  install.LoadInstallInfo();
  install.FindWorkingKey(0x003A)->TargetScancode = 0x001D;
  install.FindWorkingKey(0x002A)->VirtualKey = 0x00A2;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main() {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  root = std::wstring(temp) + L"sequence-bench-" + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(root.c_str(), nullptr);
  HKEY session;
  RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager", 0,
                KEY_QUERY_VALUE | KEY_SET_VALUE, &session);
  std::string pending(1 << 20, '\0');
  DWORD pendingSize = DWORD(pending.size()), pendingType = 0;
  const bool hadPending =
      RegQueryValueExW(session, L"PendingFileRenameOperations", nullptr, &pendingType,
                       reinterpret_cast<BYTE*>(&pending[0]), &pendingSize) == ERROR_SUCCESS;
  pending.resize(hadPending ? pendingSize : 0);
  const std::wstring sandbox = L"Software\\SetupBench\\" + std::to_wstring(GetCurrentProcessId());
  RegCreateKeyExW(HKEY_CURRENT_USER, (sandbox + L"\\Machine").c_str(), 0, nullptr, 0,
                  KEY_ALL_ACCESS, nullptr, &machine, nullptr);
  RegCreateKeyExW(HKEY_CURRENT_USER, (sandbox + L"\\User").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                  nullptr, &user, nullptr);
  RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine);
  RegOverridePredefKey(HKEY_CURRENT_USER, user);
  SetText(HKEY_LOCAL_MACHINE, L"SOFTWARE", nullptr, L"");
  SetText(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts", nullptr,
          L"");
  SetText(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout", nullptr, L"");
  SetText(HKEY_CURRENT_USER, L"Keyboard Layout\\Toggle", nullptr, L"");
  const std::wstring shell =
      L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
  const std::pair<const wchar_t*, const wchar_t*> machineFolders[] = {
      {L"Common Programs", L"Programs"}, {L"Common Desktop", L"Desktop"}};
  CreateDirectoryW((root + L"\\Program Files").c_str(), nullptr);
  SetText(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion", L"ProgramFilesDir",
          root + L"\\Program Files");
  for (const auto& [name, folder] : machineFolders) {
    CreateDirectoryW((root + L"\\" + folder).c_str(), nullptr);
    SetText(HKEY_LOCAL_MACHINE, shell, name, root + L"\\" + folder);
  }

  std::vector<Value> valuesBefore;
  DumpKey(HKEY_LOCAL_MACHINE, machine, L"", valuesBefore);
  DumpKey(HKEY_CURRENT_USER, user, L"", valuesBefore);
  std::vector<File> filesBefore;
  DumpFiles(root, filesBefore);

  PROCESS_MEMORY_COUNTERS memoryBefore = {}, memoryAfter = {};
  memoryBefore.cb = memoryAfter.cb = sizeof memoryBefore;
  GetProcessMemoryInfo(GetCurrentProcess(), &memoryBefore, sizeof memoryBefore);

  const int rounds = 15;
  std::vector<double> install, floorInstall, removal, floorRemoval;
  std::vector<Value> values;
  std::vector<File> files;
  std::vector<std::pair<std::wstring, std::wstring>> moves;
  for (int round = 0; round < rounds; ++round) {
    {
      CInstall engine;
      Start(engine);
      const auto start = Clock::now();
      const int ok = engine.Install();
      install.push_back(std::chrono::duration<double>(Clock::now() - start).count());
      if (!ok) {
        fprintf(stderr, "sequence_bench: the installation failed\n");
        return 1;
      }
      if (round == 0) {
        GetProcessMemoryInfo(GetCurrentProcess(), &memoryAfter, sizeof memoryAfter);
        std::vector<Value> after;
        DumpKey(HKEY_LOCAL_MACHINE, machine, L"", after);
        DumpKey(HKEY_CURRENT_USER, user, L"", after);
        values = Added(valuesBefore, after, [](const Value& a, const Value& b) {
          return a.root == b.root && a.key == b.key && a.name == b.name && a.type == b.type;
        });
        std::vector<File> now;
        DumpFiles(root, now);
        files =
            Added(filesBefore, now, [](const File& a, const File& b) { return a.path == b.path; });
        GString final32, final64, staging32, staging64;
        engine.BuildLayoutPaths(final32, final64, &staging32, &staging64);
        auto text = [](const GString& s) {
          return std::wstring(s.WideText(0), s.WideText(0) + s.Length());
        };
        moves = {{text(staging32), text(final32)}, {text(staging64), text(final64)}};
      }
    }
    {
      CInstall engine;
      Start(engine);
      const auto start = Clock::now();
      engine.Remove();
      removal.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    Undo(values, files);  // what the removal leaves by design (scancode map, toggles)
    auto start = Clock::now();
    FloorInstall(values, files, moves);
    floorInstall.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    start = Clock::now();
    Undo(values, files);
    for (const auto& move : moves)
      MoveFileExW(move.second.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    floorRemoval.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    if (hadPending) {
      RegSetValueExW(session, L"PendingFileRenameOperations", 0, REG_MULTI_SZ,
                     reinterpret_cast<const BYTE*>(pending.data()), DWORD(pending.size()));
    } else {
      RegDeleteValueW(session, L"PendingFileRenameOperations");
    }
  }

  printf("installation (engine): %8.2f ms, floor %8.2f ms, ratio %.1f\n", 1000 * Median(install),
         1000 * Median(floorInstall), Median(install) / Median(floorInstall));
  printf("removal (engine):      %8.2f ms, floor %8.2f ms, ratio %.1f\n", 1000 * Median(removal),
         1000 * Median(floorRemoval), Median(removal) / Median(floorRemoval));
  printf("%zu registry entries, %zu files and folders, %zu moves; median of %d rounds\n",
         values.size(), files.size(), moves.size(), rounds);
  printf(
      "peak working set %.1f MiB (%.1f MiB before the first installation), "
      "peak pagefile usage %.1f MiB (%.1f before)\n",
      memoryAfter.PeakWorkingSetSize / 1048576.0, memoryBefore.PeakWorkingSetSize / 1048576.0,
      memoryAfter.PeakPagefileUsage / 1048576.0, memoryBefore.PeakPagefileUsage / 1048576.0);

  RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
  RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  RegCloseKey(machine);
  RegCloseKey(user);
  RegDeleteTreeW(HKEY_CURRENT_USER, sandbox.c_str());
  RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\SetupBench");
  RegCloseKey(session);
  std::vector<File> left;
  DumpFiles(root, left);
  for (auto it = left.rbegin(); it != left.rend(); ++it) {
    if (it->folder) {
      RemoveDirectoryW(it->path.c_str());
    } else {
      DeleteFileW(it->path.c_str());
    }
  }
  RemoveDirectoryW(root.c_str());
  CoUninitialize();
  return 0;
}
