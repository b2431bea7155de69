#include "layout_source.h"

#include <cstdlib>
#include <map>

namespace {

struct VkName {
  const char* Name;
  uint8_t Vk;
};

const VkName VkNames[] = {
    {"BACK", 0x08},       {"TAB", 0x09},      {"CLEAR", 0x0C},     {"RETURN", 0x0D},
    {"ESCAPE", 0x1B},     {"SPACE", 0x20},    {"MULTIPLY", 0x6A},  {"ADD", 0x6B},
    {"SEPARATOR", 0x6C},  {"SUBTRACT", 0x6D}, {"DECIMAL", 0x6E},   {"DIVIDE", 0x6F},
    {"OEM_1", 0xBA},      {"OEM_PLUS", 0xBB}, {"OEM_COMMA", 0xBC}, {"OEM_MINUS", 0xBD},
    {"OEM_PERIOD", 0xBE}, {"OEM_2", 0xBF},    {"OEM_3", 0xC0},     {"ABNT_C1", 0xC1},
    {"ABNT_C2", 0xC2},    {"OEM_4", 0xDB},    {"OEM_5", 0xDC},     {"OEM_6", 0xDD},
    {"OEM_7", 0xDE},      {"OEM_8", 0xDF},    {"OEM_102", 0xE2},   {"NUMPAD0", 0x60},
    {"NUMPAD1", 0x61},    {"NUMPAD2", 0x62},  {"NUMPAD3", 0x63},   {"NUMPAD4", 0x64},
    {"NUMPAD5", 0x65},    {"NUMPAD6", 0x66},  {"NUMPAD7", 0x67},   {"NUMPAD8", 0x68},
    {"NUMPAD9", 0x69},    {"CANCEL", 0x03},
};

// Decodes UTF-8 (or UTF-16 with a byte-order mark) into UTF-16 units.
bool ToUtf16(const std::string& in, std::u16string& out) {
  out.clear();
  const auto* b = reinterpret_cast<const unsigned char*>(in.data());
  size_t n = in.size();
  if (n >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF))) {
    bool little = b[0] == 0xFF;
    if (n % 2) return false;
    for (size_t i = 2; i < n; i += 2)
      out.push_back(little ? char16_t(b[i] | b[i + 1] << 8) : char16_t(b[i] << 8 | b[i + 1]));
    return true;
  }
  size_t i = 0;
  if (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) i = 3;
  while (i < n) {
    uint32_t c = b[i];
    int extra = c < 0x80             ? 0
                : (c & 0xE0) == 0xC0 ? 1
                : (c & 0xF0) == 0xE0 ? 2
                : (c & 0xF8) == 0xF0 ? 3
                                     : -1;
    if (extra < 0) return false;
    if (extra) c &= 0x3F >> extra;
    for (int k = 1; k <= extra; ++k) {
      if (i + k >= n || (b[i + k] & 0xC0) != 0x80) return false;
      c = c << 6 | (b[i + k] & 0x3F);
    }
    i += extra + 1;
    if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back(char16_t(0xD800 + (c >> 10)));
      out.push_back(char16_t(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(char16_t(c));
    }
  }
  return true;
}

std::string Narrow(const std::u16string& s) {
  std::string r;
  for (char16_t c : s) r.push_back(c < 0x80 ? char(c) : '?');
  return r;
}

// Splits a line into cells at tabs and spaces; a quoted cell keeps its spaces;
// a cell starting with // ends the line.
std::vector<std::u16string> Cells(const std::u16string& line) {
  std::vector<std::u16string> cells;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == u' ' || line[i] == u'\t' || line[i] == u'\r')) ++i;
    if (i >= line.size()) break;
    if (line.compare(i, 2, u"//") == 0) break;
    std::u16string cell;
    bool lone =
        i + 1 >= line.size() || line[i + 1] == u' ' || line[i + 1] == u'\t' || line[i + 1] == u'\r';
    if (line[i] == u'"' && !lone) {
      size_t end = line.find(u'"', i + 1);
      if (end == std::u16string::npos) end = line.size();
      cells.push_back(u"\"" + line.substr(i + 1, end - i - 1));
      i = end + 1;
      continue;
    }
    while (i < line.size() && line[i] != u' ' && line[i] != u'\t' && line[i] != u'\r')
      cell.push_back(line[i++]);
    cells.push_back(cell);
  }
  return cells;
}

bool IsHex(const std::u16string& s) {
  if (s.empty()) return false;
  for (char16_t c : s)
    if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F')))
      return false;
  return true;
}

long HexValue(const std::u16string& s) { return std::strtol(Narrow(s).c_str(), nullptr, 16); }

// A text cell: quoted text, or the cell itself.
std::u16string TextOf(const std::vector<std::u16string>& cells, size_t from) {
  std::u16string t;
  for (size_t i = from; i < cells.size(); ++i) {
    std::u16string c = cells[i];
    if (!c.empty() && c[0] == u'"') c.erase(0, 1);
    if (!t.empty()) t += u' ';
    t += c;
  }
  return t;
}

// A character cell: one character, four hex digits, or -1; "@" after it marks
// a dead key. Returns false when the cell is none of these.
bool CharOf(std::u16string cell, uint16_t& ch, bool& dead) {
  dead = false;
  if (cell == u"-1") {
    ch = WchNone;
    return true;
  }
  if (cell.size() > 1 && cell.back() == u'@') {
    dead = true;
    cell.pop_back();
  }
  if (cell.size() == 4 && IsHex(cell)) {
    ch = uint16_t(HexValue(cell));
    return true;
  }
  if (cell.size() == 1) {
    ch = cell[0];
    return true;
  }
  return false;
}

}  // namespace

int VirtualKeyByName(const std::string& name) {
  if (name.size() == 1 &&
      ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= '0' && name[0] <= '9')))
    return name[0];
  std::string n = name;
  if (n.compare(0, 3, "VK_") == 0) n.erase(0, 3);
  for (const VkName& v : VkNames)
    if (n == v.Name) return v.Vk;
  return -1;
}

int CLayoutSource::Fail(int line, const std::string& what) {
  ErrorText = "line " + std::to_string(line) + ": " + what;
  return 0;
}

int CLayoutSource::Parse(const std::string& bytes) {
  std::u16string text;
  if (!ToUtf16(bytes, text))
    return Fail(0, "the text is neither UTF-8 nor UTF-16 with a byte-order mark");
  Variants.assign(1, {});
  VariantNames.assign(1, u"");
  enum {
    None,
    ShiftState,
    Layout,
    DeadKey,
    KeyName,
    KeyNameExt,
    KeyNameDead,
    Variant,
    LanguageNames,
    Done
  } section = None;
  bool inGroup = false;
  bool ended = false;
  int lineNo = 0;
  size_t pos = 0;
  while (pos <= text.size() && !ended) {
    size_t eol = text.find(u'\n', pos);
    if (eol == std::u16string::npos) eol = text.size();
    std::u16string line = text.substr(pos, eol - pos);
    pos = eol + 1;
    ++lineNo;
    std::vector<std::u16string> cells = Cells(line);
    if (cells.empty()) continue;
    const std::string key = Narrow(cells[0]);
    if (key == "KBD") {
      if (cells.size() < 2) return Fail(lineNo, "KBD needs a file name");
      FileName = Narrow(cells[1]);
      Description = TextOf(cells, 2);
      section = None;
    } else if (key == "COPYRIGHT" || key == "COMPANY" || key == "LOCALENAME" ||
               key == "ATTRIBUTES") {
      section = None;
    } else if (key == "LOCALEID") {
      std::u16string id = TextOf(cells, 1);
      if (!IsHex(id)) return Fail(lineNo, "LOCALEID must be hex digits");
      LanguageId = uint16_t(HexValue(id) & 0xFFFF);
      section = None;
    } else if (key == "VERSION") {
      if (cells.size() < 2) return Fail(lineNo, "VERSION needs a number");
      Version = Narrow(cells[1]);
      section = None;
    } else if (key == "SHIFTSTATE") {
      section = ShiftState;
    } else if (key == "LAYOUT") {
      section = Layout;
    } else if (key == "DEADKEY") {
      uint16_t ch;
      bool dead;
      if (cells.size() < 2 || !CharOf(cells[1], ch, dead) || ch == WchNone)
        return Fail(lineNo, "DEADKEY needs the dead character");
      DeadKeys.push_back({ch, {}});
      section = DeadKey;
    } else if (key == "KEYNAME") {
      section = KeyName;
    } else if (key == "KEYNAME_EXT") {
      section = KeyNameExt;
    } else if (key == "KEYNAME_DEAD") {
      section = KeyNameDead;
    } else if (key == "VARIANT") {
      if (cells.size() < 2 || Narrow(cells[1]) != std::to_string(Variants.size()))
        return Fail(lineNo, "VARIANT numbers run 1, 2, ... in order");
      Variants.emplace_back();
      VariantNames.push_back(TextOf(cells, 2));
      section = Variant;
    } else if (key == "GROUP") {
      if (cells.size() < 2 || Narrow(cells[1]) != "1") return Fail(lineNo, "only GROUP 1 is known");
      inGroup = true;
      GroupName = TextOf(cells, 2);
      section = None;
    } else if (key == "LANGUAGENAMES") {
      section = LanguageNames;
    } else if (key == "ENDKBD") {
      ended = true;
    } else if (section == ShiftState) {
      if (!IsHex(cells[0]) || HexValue(cells[0]) > 7) return Fail(lineNo, "a shift state is 0..7");
      ShiftStates.push_back(int(HexValue(cells[0])));
    } else if (section == Layout) {
      if (ShiftStates.empty()) return Fail(lineNo, "LAYOUT before SHIFTSTATE");
      if (cells.size() != 3 + ShiftStates.size())
        return Fail(lineNo,
                    "a LAYOUT row has scancode, virtual key, Cap and one cell per shift state");
      CLayoutRow row;
      row.Line = lineNo;
      if (cells[0] == u"-1") {
        row.Scancode = -1;
      } else if (IsHex(cells[0]) && HexValue(cells[0]) < 0x80) {
        row.Scancode = int(HexValue(cells[0]));
      } else {
        return Fail(lineNo, "bad scancode " + Narrow(cells[0]));
      }
      int vk = VirtualKeyByName(Narrow(cells[1]));
      if (vk < 0) return Fail(lineNo, "unknown virtual key " + Narrow(cells[1]));
      row.VirtualKey = uint8_t(vk);
      std::string cap = Narrow(cells[2]);
      if (cap != "0" && cap != "1") return Fail(lineNo, "Cap is 0 or 1");
      row.Attributes = uint8_t(cap == "1");
      for (size_t c = 3; c < cells.size(); ++c) {
        uint16_t ch;
        bool dead;
        if (!CharOf(cells[c], ch, dead))
          return Fail(lineNo, "bad character cell " + Narrow(cells[c]));
        row.Chars.push_back(dead ? WchDead : ch);
        row.DeadChars.push_back(dead ? ch : 0);
      }
      (inGroup ? GroupRows : Rows).push_back(row);
    } else if (section == DeadKey) {
      uint16_t a, b;
      bool d1, d2;
      if (cells.size() != 2 || !CharOf(cells[0], a, d1) || !CharOf(cells[1], b, d2) ||
          a == WchNone || b == WchNone)
        return Fail(lineNo, "a DEADKEY row is a base character and its result");
      DeadKeys.back().Pairs.push_back({a, b});
    } else if (section == KeyName || section == KeyNameExt || section == KeyNameDead) {
      if (cells.size() < 2 || !IsHex(cells[0]))
        return Fail(lineNo, "a key name row is a code and a name");
      CKeyName name{int(HexValue(cells[0])), TextOf(cells, 1)};
      (section == KeyName      ? KeyNames
       : section == KeyNameExt ? KeyNamesExt
                               : KeyNamesDead)
          .push_back(name);
    } else if (section == LanguageNames) {
      if (cells.size() < 2 || !IsHex(cells[0]))
        return Fail(lineNo, "a LANGUAGENAMES row is a language id and a name");
      if ((HexValue(cells[0]) & 0xFFFF) == LanguageId) LanguageName = TextOf(cells, 1);
    } else if (section == Variant) {
      int vk = cells.size() == 2 ? VirtualKeyByName(Narrow(cells[1])) : -1;
      if (vk < 0 || !IsHex(cells[0]) || HexValue(cells[0]) >= 0x80)
        return Fail(lineNo, "a VARIANT row is a scancode and a virtual key");
      Variants.back().push_back({int(HexValue(cells[0])), uint8_t(vk)});
    } else {
      return Fail(lineNo, "unexpected " + key);
    }
  }
  if (!ended) return Fail(lineNo, "ENDKBD missing");
  if (FileName.empty()) return Fail(0, "KBD missing");
  if (ShiftStates.empty() || ShiftStates[0] != 0) return Fail(0, "SHIFTSTATE must start with 0");
  if (Rows.empty()) return Fail(0, "LAYOUT missing");
  for (const CLayoutRow& r : Rows)
    for (uint16_t d : r.DeadChars) {
      if (!d) continue;
      bool found = false;
      for (const CDeadKeyTable& t : DeadKeys) found = found || t.Accent == d;
      if (!found) return Fail(r.Line, "dead key without a DEADKEY table");
    }
  return 1;
}
