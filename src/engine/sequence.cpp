// The installation and removal sequences.
#include "core/install.h"

#include "ui/wizard.h"

// Not built yet: nothing is installed or removed, and both say so. The
// installation still disables the page first, as the real one does, so the
// page behaves the same either way.
int CInstall::Install() {
  if (Wizard) Wizard->DisableAllControls();
  return 0;
}

int CInstall::Remove() { return 0; }
