// The wizard controller: owns the main window and the page on show, and runs
// the program's only message loop.
#pragma once

#include <windows.h>

#include <cstdint>

class CInstall;

class CWizard {
 public:
  explicit CWizard(CInstall* install);
  virtual ~CWizard();
  CWizard(const CWizard&) = delete;
  CWizard& operator=(const CWizard&) = delete;

  // Prepares what the windows need (the header font). 1/0.
  int Init(HINSTANCE instance);
  // Creates the main window and runs the message loop until it ends. 1 when
  // the window was created and the loop ran, 0 when the window was not created.
  int Run();
  // Destroys the windows and the header font; safe to call again.
  void DestroyAll();

  HWND MainWindow() const { return MainWnd; }

  int MsgBoxId(uint32_t id, UINT style);

 private:
  CInstall* Install;
  HWND MainWnd = nullptr;
};
