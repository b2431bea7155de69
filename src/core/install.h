// The one installer object: everything the program knows and decides for the
// whole run, from start-up to the restart.
#pragma once

#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

#include "core/install_base.h"
#include "core/key_table.h"
#include "core/win_handles.h"
#include "payload/catalogue.h"

class CWizard;

// Saved-state stamps: every record this release writes carries InstallStamp;
// a layout registration of an older release is recognised as LegacyInstallState.
constexpr int32_t InstallStamp = 190;
constexpr int32_t LegacyInstallState = 130;

// The install locations and related texts in Paths. An odd index holds what
// this release computes; the even index before it what an earlier
// installation recorded.
enum PathIndex : int {
  LayoutLanguageName = 0,
  SavedPriorLayout = 1,
  VendorDir = 2,
  InstallDir = 3,
  MenuVendorDir = 4,
  MenuDir = 5,
  OldComponentFile = 6,
  ComponentFile = 7,
  OldComponentMenuLink = 8,
  ComponentMenuLink = 9,
  OldComponentDesktopLink = 10,
  ComponentDesktopLink = 11,
  OldSharedFile = 12,
  SharedFile = 13,
  OldSharedMenuLink = 14,
  SharedMenuLink = 15,
  OldSharedDesktopLink = 16,
  SharedDesktopLink = 17,
  OldTextFile = 18,
  TextFile = 19,
  OldTextMenuLink = 20,
  TextMenuLink = 21,
  OldTextDesktopLink = 22,
  TextDesktopLink = 23,
  OldPageMenuPointer = 24,
  PageMenuPointer = 25,
  OldPageDesktopPointer = 26,
  PageDesktopPointer = 27,
  OldPageFile = 28,
  PageFile = 29,
  SetupSelf = 30,
  SetupLinkName = 31,
  OldSetupCopy = 32,
  SetupCopy = 33,
  OldSetupMenuLink = 34,
  SetupMenuLink = 35,
  PathCount = 36
};

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
  int LaunchAssociated();

  // System libraries and their functions, named by string ids. The library is
  // loaded from the system folder, never through the search order. The caller
  // owns the module handle.
  HMODULE LoadLibraryById(uint32_t libraryNameId);
  FARPROC GetProcAddressById(uint32_t functionNameId, uint32_t libraryNameId, HMODULE& module);

  // Options and saved state.
  int GetLayoutVariant();
  int SetLayoutVariant(int v);
  int GetDecimalKeyChoice();
  int SetDecimalKeyChoice(int v);
  int GetOptLayoutFlag() const { return OptLayoutFlag; }
  int SetOptLayoutFlag(int v) { return OptLayoutFlag = v; }
  int SetUiLanguage(int v);
  int SetModifyMode(int v);
  const KeyMapEntry* FindOriginalKey(uint16_t scancode) const;
  KeyMapEntry* FindWorkingKey(uint16_t scancode);
  int NormalizeKeyMap();
  // Takes the pairs buffer the registry reader returned.
  int ApplySavedKeyMap(std::unique_ptr<uint8_t[]> pairs, uint32_t size);
  std::unique_ptr<uint8_t[]> PackKeyMap(uint32_t& size);
  void LoadScancodeMap();
  void LoadInstallInfo();

  // Files, folders and shortcuts.
  FileHandle CreateFileForWrite(const GString& path);
  int WriteBytes(HANDLE file, const uint8_t* data, uint32_t size);
  // Converts `text` to 8-bit (UTF-8) in place and writes all of it.
  int WriteText(HANDLE file, GString& text);
  int WritePayloadFile(const GString& path, const PayloadEntry& entry);
  int WriteTextFile(const GString& path);
  int CreateShortcut(const GString& target, const GString& path, const GString& description,
                     const GString* iconLocation, int iconIndex);
  int EnsureFolder(const GString& path);
  int DeleteFileOrLater(const GString& path);
  int RemoveFolder(const GString& path);
  int InstallFiles();

  // Input language registration and the commands it runs.
  int GetTempFolder(GString& out);
  // A new empty file named with prefix string `prefixId` in `folder` (null:
  // the temporary folder).
  int MakeTempFileName(GString& out, uint32_t prefixId, const GString* folder);
  // Writes `text` (converted to 8-bit in place) into a new file of a fresh name
  // in the temporary folder. 0 when no file could be created. Otherwise 1 and
  // `path` names it; `held` is then the file reopened for reading, with
  // writing and deletion denied to others, once it proved to be the file
  // written with exactly the text; when it did not (or the write failed),
  // `held` is empty and the file is already deleted. The caller closes `held`
  // before deleting the file.
  int WriteSettingsFile(GString& text, GString& path, FileHandle& held);
  // Formats string `formatId` with the arguments into a command line, starts
  // it and waits at most a second. 1 unless the id is 0, started or not.
  int RunCommand(uint32_t formatId, ...);
  int RunCommandV(uint32_t formatId, va_list args);
  int FindAssociatedProgram(uint32_t assocId, GString& out);
  int OpenWithAssociatedProgram(uint32_t assocId, uint32_t formatId, const GString& argument);
  int RegisterInputLanguage(uint16_t langId, int makeDefault);
  int UnregisterInputLanguage();
  // The companion files InstallFiles writes.
  PayloadEntry ComponentPayload = ComponentFileEntry();
  PayloadEntry SharedPayload = SharedFileEntry();
  PayloadEntry PagePayload = PageFileEntry();

  // The registry records.
  int SaveInstallInfo();
  int RegisterLayoutKey();
  int UnregisterLayoutKey();
  int RemoveInstallInfo();
  int WriteToggleValues();
  int WriteScancodeMap();
  int SetMachineString(uint32_t keyId, uint32_t valueNameId, uint32_t dataId);

  // Registry access by string ids: a missing or empty string fails the call.
  RegistryKey OpenKeyById(HKEY parent, uint32_t subKeyId, REGSAM access);
  RegistryKey CreateKeyById(HKEY parent, uint32_t subKeyId, REGSAM access);
  int SetStringById(HKEY key, uint32_t valueNameId, const GString& text);
  int SetStringDataById(HKEY key, uint32_t valueNameId, uint32_t dataId);
  // A REG_SZ value, up to its first NUL; `out` keeps its text when the value
  // cannot be read.
  int ReadStringById(HKEY key, uint32_t valueNameId, GString& out);
  int StringEqualsById(HKEY key, uint32_t valueNameId, const GString& text);
  int SetDwordById(HKEY key, uint32_t valueNameId, uint32_t value);
  int ReadDwordById(HKEY key, uint32_t valueNameId, uint32_t& value);
  int SetBinaryById(HKEY key, uint32_t valueNameId, const uint8_t* data, uint32_t size);
  // A REG_BINARY value of non-zero size, or null.
  std::unique_ptr<uint8_t[]> ReadBinaryById(HKEY key, uint32_t valueNameId, uint32_t& size);
  // The whole data of a value whose type is exactly `expectedType` and whose
  // size suits it (AcceptRegistryValue); 0, with `data` empty, for anything
  // else, including a value that changes between its size and its data.
  int QueryValueById(HKEY key, uint32_t valueNameId, uint32_t expectedType,
                     std::vector<uint8_t>& data, DWORD& type);
  void DeleteValueById(HKEY key, uint32_t valueNameId);
  int DeleteKeyById(HKEY parent, uint32_t subKeyId);

  // The layout library: the builds that serve this system, the patterns that
  // locate the patched regions, the system and staging paths, and the staged
  // copies that replace the system's files at the next restart.
  using RedirectionOffFunction = BOOL(WINAPI*)(PVOID*);
  using RedirectionRestoreFunction = BOOL(WINAPI*)(PVOID);
  // Absent builds (none for the slot, or no 64-bit build) are empty entries.
  int SelectLayoutBuilds(PayloadEntry& build32, PayloadEntry& build64);
  // The upper-case hex text of string `id` as bytes; 0 for a missing, empty or
  // malformed text.
  int DecodeHexPattern(uint32_t id, std::vector<uint8_t>& bytes);
  // The library holding the calling thread's file-system redirection switch;
  // an empty handle, with both functions null, when it or either function is
  // missing.
  Module LoadRedirectionControl(RedirectionOffFunction& off, RedirectionRestoreFunction& restore);
  int BuildLayoutPaths(GString& final32, GString& final64, GString* staging32, GString* staging64);
  int PatchAndStageLayout(const GString& finalPath, const GString& stagingPath,
                          const PayloadEntry& build);
  int InstallLayoutFiles();
  // Registers moves (a null target: deletions) for the next restart. On 64-bit
  // Windows the thread's redirection is off meanwhile, so that the system
  // folder names the native one. Empty sources are skipped. 1 when the system
  // took every move; all are attempted either way.
  int MoveAtRestart(std::initializer_list<std::pair<const GString*, const GString*>> moves,
                    DWORD flags);

  // Whether an entry is present and extracts cleanly (a trial extraction).
  int EntryIsSound(const PayloadEntry& entry) const;
  // The trial extraction of every entry the installation (or, in modify mode,
  // the re-patching) is going to extract; 0 when any is missing or damaged.
  int CheckInstallPayload();

  // The installation and removal steps around the layout.
  int ScheduleLayoutDeletion();
  int RemoveOldVersionFiles(int scheduleLayoutFiles);

  // Install paths.
  int BuildPaths();
  // The file-name part of a path: what follows its last backslash, slash or
  // drive colon, or all of it.
  static int FileNamePart(GString& path, GString& name);
  // A shell special folder (CSIDL); `target` is empty when there is none.
  int GetSpecialFolder(int folderId, GString& target);

  // After the run.
  int WritePostChangeNote();
  int RestartSystem();

  // Parses string 86, the default layout language, into DefaultLayoutLangId.
  void ReadDefaultLayoutLangId();

  // The first steps of Init: the key from the image's key blob, then the
  // common, extra and both language string tables. 0 at the first failure.
  int LoadPayload();

  // --- Used by the wizard pages ---
  // The licence payload entry of a user-interface language (0 or 1).
  PayloadEntry LicenceEntry(int language) const;
  // Extracts a licence entry into `out` as text, without a leading UTF-8
  // byte-order mark. 0 for a null or empty entry or a failed extraction.
  int LicenceText(const uint8_t* entry, uint32_t storedSize, GString& out);
  // The text part of LicenceText: UTF-8 bytes, a byte-order mark dropped.
  static int AssignLicence(const uint8_t* data, uint32_t size, GString& out);
  // The installation (or, in modify mode, the re-application of the options)
  // and the removal; 1 on success. Both run synchronously.
  int Install();
  int Remove();

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
  void LoadPackageRecords();
  int SavePackageOptions(HKEY package);
  int AttachStrings(StringTable& table, const PayloadEntry& entry);
};
