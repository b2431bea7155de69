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
constexpr int FinishRestart = 1213;
constexpr int WelcomeLanguage = 2002;

const char* Walk(HWND main) {
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
  if (!Click(main, InstallButton)) return "no install button";
  // The finish page's only button restarts Windows: it is looked at, not pressed.
  if (WaitForControl(main, FinishRestart, 60000) == nullptr) return "no finish page";
  Page("finish");
  PostMessageW(main, WM_CLOSE, 0, 0);
  return nullptr;
}

int Fail(const char* what) {
  std::fprintf(stderr, "robot: %s\n", what);
  return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return Fail("usage: robot SETUP.EXE [walk]");
  const bool walk = argc > 2 && std::wstring(argv[2]) == L"walk";
  const int textId = argc > 3 && std::wstring(argv[2]) == L"text" ? _wtoi(argv[3]) : 0;
  std::wstring command = L"\"" + std::wstring(argv[1]) + L"\"";
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
  } else if (walk) {
    if (const char* failure = Walk(main)) {
      result = Fail(failure);
      PostMessageW(main, WM_CLOSE, 0, 0);
      if (HWND question = WaitForWindow(process.dwProcessId, L"#32770", 3000)) {
        PostMessageW(question, WM_COMMAND, IDYES, 0);
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
