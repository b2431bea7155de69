// What any installer built on the payload needs: the instance, the key guard,
// the common and language string tables and the lookup of texts by id.
#pragma once

#include <windows.h>

#include <cstdint>

#include "payload/guard.h"
#include "payload/string_table.h"
#include "text/gstring.h"

class CInstallBase {
 public:
  CInstallBase() = default;
  CInstallBase(const CInstallBase&) = delete;
  CInstallBase& operator=(const CInstallBase&) = delete;

  // Owner window for shell calls; none in the base.
  virtual HWND OwnerWindow();
  // Stores the instance; 1.
  virtual int Init(HINSTANCE instance);
  // Frees the common and language tables and wipes the key.
  virtual void ReleaseTables();
  // The pool record of `id`: the table of the user-interface language first,
  // then the common table.
  virtual const uint8_t* FindStringRecord(uint32_t id) const;
  virtual ~CInstallBase();

  // Fetches text `id` into `out` as UTF-16. 0, with `out` empty, when no table
  // holds the id.
  int LoadText(uint32_t id, GString& out) const;

  HINSTANCE Instance = nullptr;
  CGuard Guard;
  StringTable CommonStrings;
  StringTable LanguageStrings[2];
  int32_t WizardStep = 0;
  int32_t OsVersionCode = 0;
  int32_t UiLanguage = 0;
  int32_t Is64BitWindows = 0;
  uint16_t ProcessorArchitecture = 0xFFFF;
  GString ScratchText;
};
