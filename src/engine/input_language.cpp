// The user's input languages (through a settings file handed to a system
// command) and the small process-launching layer that runs such commands.
#include <algorithm>
#include <vector>

#include "core/install.h"
#include "core/system_library.h"
#include "text/format.h"

namespace {

constexpr uint32_t TempPrefixId = 47;
constexpr uint32_t SettingsCommandId = 49;
constexpr uint32_t LayoutKeyNameId = 85;

// Where a started command is given up on; the program goes on regardless.
constexpr DWORD CommandWaitMs = 1000;

// Fresh names tried for a settings file before giving up: a name that exists
// already is never reused, whoever made it.
constexpr int SettingsNameAttempts = 1000;

bool SameFile(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

// Whether the open file holds exactly `size` bytes equal to `data`.
bool HoldsExactly(HANDLE file, const char* data, DWORD size) {
  LARGE_INTEGER length;
  if (!GetFileSizeEx(file, &length) || length.QuadPart != LONGLONG(size)) return false;
  std::vector<char> read(size_t(size) + 1);
  DWORD got = 0;
  if (!ReadFile(file, read.data(), size + 1, &got, nullptr) || got != size) return false;
  return std::equal(data, data + size, read.begin());
}

}  // namespace

int CInstall::GetTempFolder(GString& out) {
  out.SetLength(0);
  wchar_t buffer[772];
  const DWORD length = GetTempPathW(771, buffer);
  if (length == 0 || length >= 772) return 0;
  return out.AssignWide(reinterpret_cast<const char16_t*>(buffer), int(length));
}

int CInstall::MakeTempFileName(GString& out, uint32_t prefixId, const GString* folder) {
  out.SetLength(0);
  if (prefixId == 0) return 0;
  GString prefix;
  LoadText(prefixId, prefix);
  GString temp;
  if (folder == nullptr) {
    if (!GetTempFolder(temp)) return 0;
    folder = &temp;
  }
  char16_t* buffer = out.WideAppendBuffer(261);
  if (buffer == nullptr) return 0;
  buffer[0] = 0;
  // Unique number 0: the system picks the name and creates the empty file.
  if (GetTempFileNameW(WinText(*folder), WinText(prefix), 0, WinText(buffer)) == 0) {
    out.SetLength(0);
    return 0;
  }
  out.SetLength(-1);
  return 1;
}

int CInstall::WriteSettingsFile(GString& text, GString& path, FileHandle& held) {
  path.SetLength(0);
  held.Reset();
  GString folder, prefix;
  if (!GetTempFolder(folder)) return 0;
  LoadText(TempPrefixId, prefix);

  // A name nobody holds yet, created by this call alone: a file that anyone
  // else made or planted under the name is never written or handed on.
  FileHandle file;
  uint32_t unique = (GetTickCount() ^ (GetCurrentProcessId() << 7)) & 0xFFFF;
  for (int attempt = 0; attempt < SettingsNameAttempts && !file; ++attempt, ++unique) {
    if ((unique & 0xFFFF) == 0) ++unique;  // 0 would make the system pick and create a name
    char16_t* buffer = path.WideAppendBuffer(MAX_PATH + 1);
    if (buffer == nullptr) return 0;
    buffer[0] = 0;
    if (GetTempFileNameW(WinText(folder), WinText(prefix), unique & 0xFFFF, WinText(buffer)) == 0) {
      path.SetLength(0);
      return 0;
    }
    path.SetLength(-1);
    file.Reset(CreateFileW(WinText(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_TEMPORARY, nullptr));
    if (!file) {
      const DWORD error = GetLastError();
      path.SetLength(0);
      if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS &&
          error != ERROR_ACCESS_DENIED) {
        return 0;
      }
    }
  }
  if (!file) return 0;

  // The file is ours from here on: whatever goes wrong, it goes again.
  BY_HANDLE_FILE_INFORMATION written = {};
  const int ok = WriteText(file.Get(), text) && GetFileInformationByHandle(file.Get(), &written);
  file.Reset();
  if (ok) {
    // Reopened for reading with writing and deletion denied to everyone, so
    // that what the command reads is what was written: the reopened file must
    // be the one written, with exactly the text, or nothing is handed on.
    FileHandle reading(CreateFileW(WinText(path), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    BY_HANDLE_FILE_INFORMATION reopened = {};
    if (reading && GetFileInformationByHandle(reading.Get(), &reopened) &&
        SameFile(written, reopened) &&
        HoldsExactly(reading.Get(), text.NarrowText(0), DWORD(text.Length()))) {
      held = std::move(reading);
      return 1;
    }
  }
  DeleteFileOrLater(path);
  return 1;
}

int CInstall::RunCommand(uint32_t formatId, ...) {
  va_list args;
  va_start(args, formatId);
  const int result = RunCommandV(formatId, args);
  va_end(args);
  return result;
}

int CInstall::RunCommandV(uint32_t formatId, va_list args) {
  if (formatId == 0) return 0;
  GString format, commandLine, program;
  if (!LoadText(formatId, format) || !commandLine.AssignWide(u"", 0) ||
      !commandLine.FormatAppendV(format.WideText(0), args) || commandLine.Length() == 0) {
    return 1;
  }
  if (!SystemProgramPath(commandLine, program)) return 1;
  // CreateProcessW may write into the command line.
  std::vector<wchar_t> line(commandLine.WideText(0),
                            commandLine.WideText(0) + commandLine.Length() + 1);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started = {};
  if (CreateProcessW(program.Length() != 0 ? WinText(program) : nullptr, line.data(), nullptr,
                     nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
    KernelHandle process(started.hProcess);
    KernelHandle thread(started.hThread);
    WaitForSingleObject(process.Get(), CommandWaitMs);
  }
  return 1;
}

int CInstall::FindAssociatedProgram(uint32_t assocId, GString& out) {
  out.SetLength(0);
  GString association;
  if (!LoadText(assocId, association)) return 0;
  DWORD length = 2048;
  char16_t* buffer = out.WideAppendBuffer(int(length));
  if (buffer == nullptr) return 0;
  buffer[0] = 0;
  const HRESULT result = QueryAssociatedExecutable(WinText(association), WinText(buffer), &length);
  out.SetLength(-1);
  if (FAILED(result)) {
    out.SetLength(0);
    return 0;
  }
  return 1;
}

int CInstall::OpenWithAssociatedProgram(uint32_t assocId, uint32_t formatId,
                                        const GString& argument) {
  GString program;
  if (!FindAssociatedProgram(assocId, program)) return 0;
  return RunCommand(formatId, program.WideText(0), argument.WideText(0));
}

int CInstall::RegisterInputLanguage(uint16_t langId, int makeDefault) {
  // Before Windows Vista the layout is listed through the registry alone.
  if (OsVersionCode < 60) return 1;

  GString layoutKey, locale, defaultText, format, text;
  LoadText(LayoutKeyNameId, layoutKey);
  LoadText(90, locale);
  if (makeDefault) LoadText(64, defaultText);
  const int language = langId;
  if (OsVersionCode >= 62 && locale.Length() != 0) {
    LoadText(63, format);
    Format(text, format.WideText(0), locale.WideText(0), language, layoutKey.WideText(0),
           defaultText.WideText(0), language, language);
    text.DebugPrint(65535);
  } else {
    LoadText(62, format);
    Format(text, format.WideText(0), language, layoutKey.WideText(0), defaultText.WideText(0));
  }

  // Written, checked and held against replacement until the command has read it.
  GString temp;
  FileHandle held;
  if (!WriteSettingsFile(text, temp, held)) return 0;
  if (held) {
    RunCommand(SettingsCommandId, temp.WideText(0));
    // The command reads the file after it was started; give it time.
    Sleep(500);
    held.Reset();
    DeleteFileOrLater(temp);
  }
  return 1;
}

int CInstall::UnregisterInputLanguage() {
  // Other packages still rely on the registration.
  if (SharedInstallCount > 1) return 1;
  GString format, text;
  if (OsVersionCode < 60) {
    LoadText(65, format);
    Format(text, format.WideText(0), u"", u"");
  } else {
    LoadText(66, format);
    Format(text, format.WideText(0), u"");
  }
  GString temp;
  FileHandle held;
  if (!WriteSettingsFile(text, temp, held) || !held) return 0;
  RunCommand(SettingsCommandId, temp.WideText(0));
  held.Reset();
  DeleteFileOrLater(temp);
  return 1;
}
