// The wizard's only top-level window: a fixed-size frame whose client area
// holds the header band and, below it, the page on show.
//
// Pages never switch pages themselves: they post one of the application
// messages below to this window, which asks the controller for the page the
// wizard step calls for, closes the wizard, or arms the restart.
#pragma once

#include "ui/wnd_base.h"

constexpr UINT WM_WIZ_CLOSE = WM_USER + 1;   // close, confirmed unless the step is 6
constexpr UINT WM_WIZ_BACK = WM_USER + 2;    // previous page by step
constexpr UINT WM_WIZ_NEXT = WM_USER + 3;    // next page by step
constexpr UINT WM_WIZ_SETUP = WM_USER + 4;   // setup options page
constexpr UINT WM_WIZ_KEYS1 = WM_USER + 5;   // key page 1
constexpr UINT WM_WIZ_KEYS2 = WM_USER + 6;   // key page 2
constexpr UINT WM_WIZ_DONE = WM_USER + 7;    // finish page
constexpr UINT WM_WIZ_FINISH = WM_USER + 8;  // restart after exit, close without a question

// Wizard steps: which page is on show. Step 6 means the work is done (or the
// wizard is closing after an error), so closing asks nothing.
constexpr int StepWelcome = 1;
constexpr int StepLicence = 2;
constexpr int StepSetup = 3;
constexpr int StepKeys = 4;
constexpr int StepFinished = 6;

class CWndMain : public CWndBase {
 public:
  CWndMain() = default;
  ~CWndMain() override;

  int OnMessage() override;
  int OnCreate() override;
  int OnPaint() override;
  int OnDestroy() override;
  int OnClose() override;

  virtual int OnFinish();
  virtual int ShowDonePage();
  virtual int OnBack();
  virtual int OnNext();
  virtual int ShowSetupPage();
  virtual int ShowKeyPage1();
  virtual int ShowKeyPage2();

  void PaintHeader(HDC dc);
};
