// The install locations and the texts composed from them.
#include "core/install.h"

// Not built yet: the paths stay empty.
int CInstall::BuildPaths() { return 0; }
