// The program's own registry records: the saved state of an installation.
#include "core/install.h"

// Not built yet: nothing is read, so nothing counts as installed.
void CInstall::LoadInstallInfo() {}
