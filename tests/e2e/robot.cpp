// Drives the real setup program from outside, as a user would.
//   robot SETUP.EXE        starts it, waits for its wizard and closes it
//                          through the close question; exit code 0 when the
//                          program did so and ended with code 0
//   robot SETUP.EXE text ID
//                          prints the text of control ID of the first page,
//                          then closes the program as above
//   robot SETUP.EXE walk   walks the wizard: welcome, licence (accepted),
//                          setup, key page 1, back to setup, install, finish.
//                          Prints "PAGE <name>" when a page is on show and
//                          waits for a line on its input (a screenshot is
//                          taken meanwhile) before it goes on. The finish
//                          page is closed without the restart.
//   robot SETUP.EXE install
//                          a first installation: licence accepted, Caps Lock
//                          made a left Ctrl on the key page, the keypad's
//                          decimal key made a comma; Install, then the finish
//                          page is closed without the restart
//   robot SETUP.EXE modify on an installed package: Change, Caps Lock made to
//                          produce nothing, right Alt made the Application
//                          key, the decimal key keeps its own character;
//                          the options applied, the finish page closed
//   robot SETUP.EXE remove on an installed package: Remove, the question
//                          answered Yes, the finish page closed
// Every mode exits with 0 on success; otherwise it prints "robot: WHAT" on
// its error output and exits non-zero.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

struct Search {
  DWORD process;
  const wchar_t* className;  // null: any visible top-level window
  HWND found;
};

BOOL CALLBACK FindWindowOf(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<Search*>(parameter);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != search->process || !IsWindowVisible(window)) return TRUE;
  if (search->className != nullptr) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (std::wstring(name) != search->className) return TRUE;
  }
  search->found = window;
  return FALSE;
}

// Waits up to `milliseconds` for a visible top-level window of the process.
HWND WaitForWindow(DWORD process, const wchar_t* className, DWORD milliseconds) {
  for (DWORD waited = 0; waited < milliseconds; waited += 100) {
    Search search = {process, className, nullptr};
    EnumWindows(FindWindowOf, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) return search.found;
    Sleep(100);
  }
  return nullptr;
}

struct ControlSearch {
  int id;
  HWND found;
};

BOOL CALLBACK FindControl(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<ControlSearch*>(parameter);
  if (GetDlgCtrlID(window) != search->id || !IsWindowVisible(window)) return TRUE;
  search->found = window;
  return FALSE;
}

// Waits for a visible control of the wizard's page on show.
HWND WaitForControl(HWND main, int id, DWORD milliseconds = 10000) {
  for (DWORD waited = 0; waited < milliseconds; waited += 100) {
    ControlSearch search = {id, nullptr};
    EnumChildWindows(main, FindControl, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr && IsWindowEnabled(search.found)) return search.found;
    Sleep(100);
  }
  return nullptr;
}

bool Click(HWND main, int id) {
  HWND control = WaitForControl(main, id);
  if (control == nullptr) return false;
  SendMessageW(control, BM_CLICK, 0, 0);
  return true;
}

// Names the page on show and waits until the caller has looked at it.
void Page(const char* name) {
  Sleep(300);  // let the page paint
  std::printf("PAGE %s\n", name);
  std::fflush(stdout);
  char line[16];
  if (std::fgets(line, sizeof line, stdin) == nullptr) return;
}

// Control ids of the pages, as the dialog templates give them.
constexpr int Next = 1;
constexpr int AcceptLicence = 305;
constexpr int KeyPage = 303;
constexpr int KeyPageBack = 301;
constexpr int InstallButton = 206;
// The finish page is known by its lower text: its restart button shares its id
// (1213) with a check box of the setup page.
constexpr int FinishText = 1204;
constexpr int WelcomeLanguage = 2002;
constexpr int WelcomeRemove = 315;
constexpr int WelcomeModify = 2003;
constexpr int DecimalKey = 1215;
// Key page 1: check box and combo box of a key's row (the combo is the box's
// id + 100), and the virtual keys of the choices this robot makes.
constexpr int CapsLockRow = 1312;
constexpr int RightAltRow = 1306;
constexpr unsigned LeftCtrlKey = 0x00A2;
constexpr unsigned NothingKey = 0x00FF;
constexpr unsigned ApplicationKey = 0x015D;
// The decimal key choices: 0 types a comma, 1 keeps the key's own character.
constexpr unsigned DecimalComma = 0;
constexpr unsigned DecimalOwn = 1;

// Tells the page what the combo box would tell it after a user's choice.
void Notify(HWND control, int code) {
  SendMessageW(GetParent(control), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), code),
               reinterpret_cast<LPARAM>(control));
}

// Selects the item carrying `data` in a combo box of the page on show and
// notifies the page as the control would (`code`).
bool Choose(HWND main, int comboId, unsigned data, int code) {
  HWND combo = WaitForControl(main, comboId);
  if (combo == nullptr) return false;
  const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    if (static_cast<unsigned>(SendMessageW(combo, CB_GETITEMDATA, i, 0)) != data) continue;
    SendMessageW(combo, CB_SETCURSEL, i, 0);
    Notify(combo, code);
    return true;
  }
  return false;
}

bool IsChecked(HWND main, int id) {
  HWND box = WaitForControl(main, id);
  return box != nullptr && SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// On key page 1: gives the key of row `checkId` the function `virtualKey`.
// A ticked row's list holds only its current choice until it drops down.
const char* RemapKey(HWND main, int checkId, unsigned virtualKey) {
  if (!IsChecked(main, checkId) && !Click(main, checkId)) return "a key row cannot be ticked";
  HWND combo = WaitForControl(main, checkId + 100);
  if (combo == nullptr) return "a ticked key row has no enabled list";
  Notify(combo, CBN_DROPDOWN);
  if (!Choose(main, checkId + 100, virtualKey, CBN_SELENDOK)) return "a key choice is not offered";
  return nullptr;
}

// Presses a button whose handler may ask a question or report a failure in a
// message box: posted, so that this robot can answer the box.
void Press(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

// The text of the first message box of the process, or an empty text.
std::string MessageBoxText(DWORD process) {
  HWND box = WaitForWindow(process, L"#32770", 100);
  if (box == nullptr) return std::string();
  wchar_t text[512] = {};
  GetDlgItemTextW(box, 0xFFFF, text, 512);  // the message's static control
  char utf8[1536] = {};
  WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
  return utf8[0] != 0 ? utf8 : "(a message box)";
}

std::string failureText;

// Waits for the finish page after the work started; a message box instead
// means the program reported a failure.
const char* AwaitFinish(HWND main, DWORD process) {
  for (DWORD waited = 0; waited < 90000; waited += 200) {
    if (WaitForControl(main, FinishText, 100) != nullptr) return nullptr;
    failureText = MessageBoxText(process);
    if (!failureText.empty()) {
      failureText = "the program reported: " + failureText;
      return failureText.c_str();
    }
    Sleep(100);
  }
  return "no finish page";
}

const char* Walk(HWND main, DWORD process) {
  if (WaitForControl(main, WelcomeLanguage) == nullptr) return "no welcome page";
  Page("welcome");
  if (!Click(main, Next)) return "no next button on the welcome page";
  if (WaitForControl(main, AcceptLicence) == nullptr) return "no licence page";
  if (!Click(main, AcceptLicence)) return "no licence box";
  Page("licence");
  if (!Click(main, Next)) return "next stays disabled on the licence page";
  if (WaitForControl(main, InstallButton) == nullptr) return "no setup page";
  Page("setup");
  if (!Click(main, KeyPage)) return "no key page button";
  if (WaitForControl(main, 1301) == nullptr) return "no key page";
  Page("keys");
  if (!Click(main, KeyPageBack)) return "no way back from the key page";
  HWND install = WaitForControl(main, InstallButton);
  if (install == nullptr) return "no install button";
  Press(install);
  // The finish page's only button restarts Windows: it is looked at, not pressed.
  if (const char* failure = AwaitFinish(main, process)) return failure;
  Page("finish");
  PostMessageW(main, WM_CLOSE, 0, 0);
  return nullptr;
}

const char* AcceptLicenceAndGoToSetup(HWND main) {
  if (WaitForControl(main, WelcomeLanguage) == nullptr) return "no welcome page";
  if (WaitForControl(main, WelcomeModify, 300) != nullptr)
    return "the package is installed already";
  if (!Click(main, Next)) return "no next button on the welcome page";
  if (!Click(main, AcceptLicence)) return "no licence page";
  if (!Click(main, Next)) return "next stays disabled on the licence page";
  if (WaitForControl(main, InstallButton) == nullptr) return "no setup page";
  return nullptr;
}

const char* Install(HWND main, DWORD process) {
  if (const char* failure = AcceptLicenceAndGoToSetup(main)) return failure;
  if (!Choose(main, DecimalKey, DecimalComma, CBN_SELCHANGE)) return "no comma decimal key choice";
  if (!Click(main, KeyPage) || WaitForControl(main, 1301) == nullptr) return "no key page";
  if (const char* failure = RemapKey(main, CapsLockRow, LeftCtrlKey)) return failure;
  if (!Click(main, KeyPageBack)) return "no way back from the key page";
  HWND install = WaitForControl(main, InstallButton);
  if (install == nullptr) return "no install button";
  Press(install);
  return AwaitFinish(main, process);
}

const char* Modify(HWND main, DWORD process) {
  if (WaitForControl(main, WelcomeLanguage) == nullptr) return "no welcome page";
  if (!Click(main, WelcomeModify)) return "the welcome page offers no change: not installed?";
  if (WaitForControl(main, InstallButton) == nullptr) return "no setup page in modify mode";
  if (!Choose(main, DecimalKey, DecimalOwn, CBN_SELCHANGE))
    return "no own-character decimal choice";
  if (!Click(main, KeyPage) || WaitForControl(main, 1301) == nullptr) return "no key page";
  if (!IsChecked(main, CapsLockRow)) return "the installed key choice is not shown";
  if (const char* failure = RemapKey(main, CapsLockRow, NothingKey)) return failure;
  if (const char* failure = RemapKey(main, RightAltRow, ApplicationKey)) return failure;
  if (!Click(main, KeyPageBack)) return "no way back from the key page";
  HWND apply = WaitForControl(main, InstallButton);
  if (apply == nullptr) return "no apply button";
  Press(apply);
  return AwaitFinish(main, process);
}

const char* Remove(HWND main, DWORD process) {
  if (WaitForControl(main, WelcomeLanguage) == nullptr) return "no welcome page";
  HWND remove = WaitForControl(main, WelcomeRemove, 3000);
  if (remove == nullptr) return "the welcome page offers no removal: not installed?";
  Press(remove);
  HWND question = WaitForWindow(process, L"#32770", 10000);
  if (question == nullptr) return "removal asked nothing";
  PostMessageW(question, WM_COMMAND, IDYES, 0);
  return AwaitFinish(main, process);
}

// A user starts the program by its full Windows path, and the program copies
// itself from the path its command line names. Under Wine a caller may name it
// by its Unix path, which Windows code cannot open: it is turned into a
// Windows path.
std::wstring WindowsPath(const wchar_t* path) {
  if (path[0] != L'/') {
    // A relative path: the full one, as a user's shell would start it with.
    wchar_t full[MAX_PATH];
    const DWORD length = GetFullPathNameW(path, MAX_PATH, full, nullptr);
    return length > 0 && length < MAX_PATH ? std::wstring(full) : std::wstring(path);
  }
  using ToDos = WCHAR*(CDECL*)(LPCSTR);
  auto toDos = reinterpret_cast<ToDos>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_dos_file_name")));
  char unixPath[1024] = {};
  WideCharToMultiByte(CP_UTF8, 0, path, -1, unixPath, sizeof unixPath, nullptr, nullptr);
  WCHAR* dos = toDos != nullptr ? toDos(unixPath) : nullptr;
  if (dos == nullptr) return path;
  std::wstring result = dos;
  HeapFree(GetProcessHeap(), 0, dos);
  return result;
}

// Answers a message box of the process: Yes to a question, OK otherwise.
bool AnswerMessageBox(DWORD process, DWORD milliseconds) {
  HWND box = WaitForWindow(process, L"#32770", milliseconds);
  if (box == nullptr) return false;
  PostMessageW(box, WM_COMMAND, GetDlgItem(box, IDYES) != nullptr ? IDYES : IDOK, 0);
  return true;
}

int Fail(const char* what) {
  std::fprintf(stderr, "robot: %s\n", what);
  return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return Fail("usage: robot SETUP.EXE [walk | install | modify | remove | text ID]");
  const std::wstring mode = argc > 2 ? argv[2] : L"";
  const bool walk = mode == L"walk";
  const char* (*work)(HWND, DWORD) = mode == L"install"  ? Install
                                     : mode == L"modify" ? Modify
                                     : mode == L"remove" ? Remove
                                                         : nullptr;
  if (!mode.empty() && !walk && work == nullptr && mode != L"text") return Fail("unknown mode");
  const int textId = argc > 3 && std::wstring(argv[2]) == L"text" ? _wtoi(argv[3]) : 0;
  std::wstring command = L"\"" + WindowsPath(argv[1]) + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return Fail("the setup program does not start");
  }
  CloseHandle(process.hThread);
  int result = 0;

  HWND main = WaitForWindow(process.dwProcessId, nullptr, 20000);
  if (main == nullptr) {
    result = Fail("no wizard window appeared");
  } else if (walk || work != nullptr) {
    const char* failure = walk ? Walk(main, process.dwProcessId) : work(main, process.dwProcessId);
    if (failure == nullptr && !walk) {
      // The finish page's button restarts Windows: the window is closed instead.
      PostMessageW(main, WM_CLOSE, 0, 0);
    }
    if (failure != nullptr) {
      result = Fail(failure);
      // A reported failure closes the wizard once its message is answered;
      // otherwise closing asks first.
      if (!AnswerMessageBox(process.dwProcessId, 100)) {
        PostMessageW(main, WM_CLOSE, 0, 0);
        AnswerMessageBox(process.dwProcessId, 3000);
      }
    }
  } else {
    if (textId != 0) {
      HWND control = WaitForControl(main, textId);
      wchar_t text[256] = {};
      if (control != nullptr) GetWindowTextW(control, text, 256);
      char utf8[768] = {};
      WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
      std::printf("TEXT %s\n", utf8);
      std::fflush(stdout);
    }
    // Closing asks first; the answer Yes ends the program.
    PostMessageW(main, WM_CLOSE, 0, 0);
    HWND question = WaitForWindow(process.dwProcessId, L"#32770", 10000);
    if (question == nullptr) {
      result = Fail("closing the wizard asked nothing");
    } else {
      PostMessageW(question, WM_COMMAND, IDYES, 0);
    }
  }

  if (WaitForSingleObject(process.hProcess, 20000) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 99);
    result = Fail("the setup program did not end");
  }
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  if (result == 0 && code != 0) result = Fail("the setup program ended with a non-zero code");
  return result;
}
