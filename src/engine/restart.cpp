// What happens after an installation or removal: the note and the restart.
#include "core/install.h"

// Not built yet: neither is done, and both say so.
int CInstall::WritePostChangeNote() { return 0; }

int CInstall::RestartSystem() { return 0; }
