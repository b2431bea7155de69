// The one installer object: everything the program knows and decides for the
// whole run, from start-up to the restart.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "core/install_base.h"
#include "core/key_table.h"
#include "payload/catalogue.h"

class CWizard;

// Saved-state stamps: every record this release writes carries InstallStamp;
// a layout registration of an older release is recognised as LegacyInstallState.
constexpr int32_t InstallStamp = 190;
constexpr int32_t LegacyInstallState = 130;

constexpr int PathCount = 36;

class CInstall : public CInstallBase {
 public:
  CInstall();
  ~CInstall() override;

  HWND OwnerWindow() override;
  int Init(HINSTANCE instance) override;
  void ReleaseTables() override;
  const uint8_t* FindStringRecord(uint32_t id) const override;

  // 1 when the program goes on to Finish, 0 when it ends at once.
  int Run();
  void Finish();

  // Message box with text `id` and the program's caption, owned by the main
  // window; 0 when there is no wizard.
  int MsgBoxId(uint32_t id, UINT style);

  // Environment.
  int QueryEnvironment(uint32_t functionNameId, uint32_t libraryNameId);
  int IsSupportedSystem();
  int CheckSingleInstance();
  int IsUserAdmin();
  int HasCyrillicInputLanguage();
  int AssocExecutableContains(uint32_t assocId, uint32_t textId);

  // Options and saved state.
  int GetLayoutVariant();
  int GetDecimalKeyChoice();
  void LoadScancodeMap();
  void LoadInstallInfo();

  // Install paths.
  int BuildPaths();

  // After the run.
  int WritePostChangeNote();
  int RestartSystem();

  // Parses string 86, the default layout language, into DefaultLayoutLangId.
  void ReadDefaultLayoutLangId();

  // The first steps of Init: the key from the image's key blob, then the
  // common, extra and both language string tables. 0 at the first failure.
  int LoadPayload();

  uint16_t DefaultLayoutLangId = 0;
  uint16_t LayoutLangId = 0;
  int32_t OptDefaultLayout = 1;
  int32_t AssocFound = 0;
  int32_t IsAdmin = 0;
  int32_t Removed = 0;
  int32_t Installed = 0;
  int32_t RestartOnExit = 0;
  int32_t LicenceAccepted = 0;
  int32_t OptUserToggleValues = 1;
  int32_t OptShortcuts = 1;
  int32_t TextDesktopLinkMade = 0;
  int32_t ComponentDesktopLinkMade = 0;
  int32_t SharedDesktopLinkMade = 0;
  int32_t LayoutVariant = -1;
  int32_t DecimalKeyChoice = -1;
  int32_t OptLayoutFlag = 0;
  int32_t SavedLayoutFlag = 0;
  int32_t ModifyMode = 0;
  int32_t HadScancodeMap = 0;
  std::unique_ptr<KeyMapEntry[]> KeyMap;
  int32_t KeyMapCount = KeyTableRows;
  StringTable ExtraStrings;
  std::unique_ptr<CWizard> Wizard;
  GString Paths[PathCount];
  int32_t SharedStamp = 0;
  int32_t ComponentStamp = 0;
  int32_t ComponentRefCount = 0;
  int32_t InstallState = 0;
  int32_t SharedInstallCount = 0;

 private:
  int AttachStrings(StringTable& table, const PayloadEntry& entry);
};
