// The user's input languages (through a settings file handed to a system
// command) and the small process-launching layer that runs such commands.
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

bool HasFolder(const char16_t* p, int n) {
  for (int i = 0; i < n; ++i) {
    if (p[i] == u'\\' || p[i] == u'/' || p[i] == u':') return true;
  }
  return false;
}

// A program named without a folder would be searched for in this program's
// own folder and the current folder before the system folder. Elevated and
// started from a download folder, that would run whatever lies there under the
// name, so a bare name always means the system folder's program. Empty when
// the command's program has a folder of its own (it is taken as given).
int SystemProgramPath(const GString& commandLine, GString& out) {
  out.SetLength(0);
  const char16_t* text = commandLine.WideText(0);
  const int length = commandLine.Length();
  int first = 0;
  int end = 0;
  if (length > 0 && text[0] == u'"') {
    first = 1;
    end = 1;
    while (end < length && text[end] != u'"') ++end;
  } else {
    while (end < length && text[end] != u' ' && text[end] != u'\t') ++end;
  }
  const int n = end - first;
  if (n <= 0 || HasFolder(text + first, n)) return 1;
  wchar_t folder[MAX_PATH];
  const UINT folderLength = GetSystemDirectoryW(folder, MAX_PATH);
  if (folderLength == 0 || folderLength >= MAX_PATH) return 0;
  if (!out.AssignWide(reinterpret_cast<const char16_t*>(folder), int(folderLength)) ||
      !out.AppendPath(text + first, n)) {
    return 0;
  }
  // The search would have added the extension; an explicit path gets none.
  bool hasExtension = false;
  for (int i = first; i < end; ++i) hasExtension = hasExtension || text[i] == u'.';
  if (!hasExtension && !out.AppendWide(u".exe", 4)) return 0;
  return 1;
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
  GString temp;
  if (!MakeTempFileName(temp, TempPrefixId, nullptr)) return 0;

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

  int written;
  {
    FileHandle file = CreateFileForWrite(temp);
    if (!file) {
      DeleteFileOrLater(temp);
      return 0;
    }
    written = WriteText(file.Get(), text);
  }
  if (written) {
    RunCommand(SettingsCommandId, temp.WideText(0));
    // The command reads the file after it was started; give it time.
    Sleep(500);
  }
  DeleteFileOrLater(temp);
  return 1;
}

int CInstall::UnregisterInputLanguage() {
  // Other packages still rely on the registration.
  if (SharedInstallCount > 1) return 1;
  GString temp;
  if (!MakeTempFileName(temp, TempPrefixId, nullptr)) return 0;
  GString format, text;
  if (OsVersionCode < 60) {
    LoadText(65, format);
    Format(text, format.WideText(0), u"", u"");
  } else {
    LoadText(66, format);
    Format(text, format.WideText(0), u"");
  }
  {
    FileHandle file = CreateFileForWrite(temp);
    if (!file || !WriteText(file.Get(), text)) {
      file.Reset();
      DeleteFileOrLater(temp);
      return 0;
    }
  }
  RunCommand(SettingsCommandId, temp.WideText(0));
  DeleteFileOrLater(temp);
  return 1;
}
