// Drives the real setup program from outside, as a user would: starts it,
// waits for its wizard, and closes it through the close question.
//   robot SETUP.EXE        exit code 0 when the program showed its wizard,
//                          asked before closing and ended with code 0
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

int Fail(const char* what) {
  std::fprintf(stderr, "robot: %s\n", what);
  return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return Fail("usage: robot SETUP.EXE");
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
  } else {
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
