// The package's files and the input language registration: not built yet.
// Each reports failure so that no caller takes the step for done.
#include "core/install.h"

int CInstall::InstallFiles() { return 0; }
int CInstall::RegisterInputLanguage(uint16_t, int32_t) { return 0; }
int CInstall::UnregisterInputLanguage() { return 0; }
