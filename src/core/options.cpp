// The user's options, their defaults and the import of the system's scancode map.
#include "core/install.h"

// Not built yet: no default is derived, so both stay "not yet derived".
int CInstall::GetLayoutVariant() { return LayoutVariant; }

int CInstall::GetDecimalKeyChoice() { return DecimalKeyChoice; }

// Not built yet: the key map keeps its defaults.
void CInstall::LoadScancodeMap() {}
