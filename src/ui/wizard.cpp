#include "ui/wizard.h"

CWizard::CWizard(CInstall* install) : Install(install) {}

CWizard::~CWizard() { DestroyAll(); }

// Not built yet: there are no windows to prepare or show, and both say so.
int CWizard::Init(HINSTANCE /*instance*/) { return 0; }

int CWizard::Run() { return 0; }

void CWizard::DestroyAll() {
  if (MainWnd != nullptr) {
    DestroyWindow(MainWnd);
    MainWnd = nullptr;
  }
}

// Not built yet: no box is shown.
int CWizard::MsgBoxId(uint32_t /*id*/, UINT /*style*/) { return 0; }
