// The keyboard layout's source text and what it says.
//
// The text is the layout format keyboard-layout authors use (sections KBD,
// LOCALEID, SHIFTSTATE, LAYOUT, DEADKEY, KEYNAME, KEYNAME_EXT, KEYNAME_DEAD,
// ENDKBD), read as UTF-8 or as UTF-16 with a byte-order mark, plus two
// sections of this package: VARIANT (scancode-to-virtual-key changes) and
// GROUP (LAYOUT rows of the alternative placement).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr uint16_t WchNone = 0xF000;
constexpr uint16_t WchDead = 0xF001;

struct CLayoutRow {
  int Scancode = -1;  // -1: no key of its own in the plain table
  uint8_t VirtualKey = 0;
  uint8_t Attributes = 0;           // 1: Caps Lock acts as Shift
  std::vector<uint16_t> Chars;      // one per shift-state column, WchNone for none
  std::vector<uint16_t> DeadChars;  // per column: the dead character, or 0
  int Line = 0;
};

struct CDeadKeyTable {
  uint16_t Accent = 0;
  std::vector<std::pair<uint16_t, uint16_t>> Pairs;  // base character, result
};

struct CScancodeChange {
  int Scancode;
  uint8_t VirtualKey;
};

struct CKeyName {
  int Code;  // scancode, or the dead character for dead key names
  std::u16string Name;
};

class CLayoutSource {
 public:
  // Reads the text; on failure Error() says where and what, and 0 is returned.
  int Parse(const std::string& bytes);
  const std::string& Error() const { return ErrorText; }

  std::string FileName;  // KBD: the library's base name
  std::u16string Description;
  uint16_t LanguageId = 0;  // low word of LOCALEID
  std::string Version = "1.0";
  std::vector<int> ShiftStates;       // modifier bit combination of each column
  std::vector<CLayoutRow> Rows;       // the plain placement
  std::vector<CLayoutRow> GroupRows;  // group 1: rows replacing those of the same virtual key
  std::u16string GroupName;
  std::vector<std::vector<CScancodeChange>> Variants;  // [0] is empty
  std::vector<std::u16string> VariantNames;
  std::vector<CDeadKeyTable> DeadKeys;
  std::vector<CKeyName> KeyNames, KeyNamesExt, KeyNamesDead;
  std::u16string LanguageName;  // LANGUAGENAMES: the name of LanguageId's language

 private:
  int Fail(int line, const std::string& what);
  std::string ErrorText;
};

// The virtual key a name of the layout text stands for ("A", "OEM_1", "SPACE"
// or two hex digits), or -1.
int VirtualKeyByName(const std::string& name);
