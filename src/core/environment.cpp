// Facts about the running system and the checks made before the wizard opens.
#include "core/install.h"

// Not built yet. Each answer below is the one that lets nothing go ahead on
// the strength of a check that was never made.

int CInstall::QueryEnvironment(uint32_t /*functionNameId*/, uint32_t /*libraryNameId*/) {
  return 0;  // version not read: OsVersionCode stays 0
}

int CInstall::IsSupportedSystem() { return 0; }

int CInstall::CheckSingleInstance() { return 1; }

int CInstall::IsUserAdmin() { return 0; }

int CInstall::HasCyrillicInputLanguage() { return 1; }

int CInstall::AssocExecutableContains(uint32_t /*assocId*/, uint32_t /*textId*/) { return 0; }
