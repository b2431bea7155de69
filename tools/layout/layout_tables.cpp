#include "layout_tables.h"

#include <algorithm>
#include <map>

#include "core/key_table.h"

namespace {

// Scancodes the installer's key table does not list, with the values the
// standard keyboards give them.
const CVscVk StandardExtras[] = {
    {0x54, 0x002C},  // Alt+Print Screen (SysRq)
    {0x5A, 0x00EE}, {0x5B, 0x00F1}, {0x5C, 0x00EA}, {0x5D, 0x00F9}, {0x5E, 0x00F5}, {0x5F, 0x00F3},
    {0x62, 0x00FB}, {0x6F, 0x00ED}, {0x71, 0x00E9}, {0x7C, 0x0009}, {0x7F, 0x00EC},
};

// Keys every layout gives the same characters, as layout authors' tools add
// them: control characters of Backspace, Esc, Enter, Break, and the keypad.
struct StandardRow {
  uint8_t Vk;
  uint16_t Chars[3];
  int Columns;
};
const StandardRow StandardRows[] = {
    {0x6E, {'.', '.'}, 2},  // keypad decimal key, unless the source gives it
    {0x09, {'\t', '\t'}, 2},       {0x6B, {'+', '+'}, 2},         {0x6F, {'/', '/'}, 2},
    {0x6A, {'*', '*'}, 2},         {0x6D, {'-', '-'}, 2},         {0x08, {0x08, 0x08, 0x7F}, 3},
    {0x1B, {0x1B, 0x1B, 0x1B}, 3}, {0x0D, {'\r', '\r', '\n'}, 3}, {0x03, {0x03, 0x03, 0x03}, 3},
};

}  // namespace

int ResolveLayoutTables(const CLayoutSource& source, int group, int variant, CLayoutTables& out,
                        std::string& error) {
  if (group < 0 || group > 1 || variant < 0 || variant >= int(source.Variants.size())) {
    error = "no group " + std::to_string(group) + " variant " + std::to_string(variant);
    return 0;
  }
  out = CLayoutTables();
  // Modifiers: Shift 1, Ctrl 2, Alt 4; each column of the source is one combination.
  out.ColumnOfState.assign(8, 0x0F);
  for (size_t c = 0; c < source.ShiftStates.size(); ++c) {
    if (out.ColumnOfState[source.ShiftStates[c]] != 0x0F) {
      error = "shift state listed twice";
      return 0;
    }
    out.ColumnOfState[source.ShiftStates[c]] = uint8_t(c);
  }
  bool altGr = out.ColumnOfState[6] != 0x0F;
  out.LocaleFlags = (1u << 16) | (altGr ? 1u : 0u);

  // Scancode tables: the key table, then the source's keys, then the variant.
  for (uint16_t& v : out.VscToVk) v = 0x00FF;
  for (const CVscVk& e : StandardExtras) out.VscToVk[e.Scancode] = e.VirtualKey;
  for (int i = 0; i < KeyTableEndRow; ++i) {
    const KeyMapEntry& k = KeyTable[i];
    if (k.Scancode < VscTableEntries) {
      out.VscToVk[k.Scancode] = k.VirtualKey;
    } else if ((k.Scancode >> 8) == 0xE0) {
      out.E0.push_back({uint8_t(k.Scancode), k.VirtualKey});
    } else if ((k.Scancode >> 8) == 0xE1) {
      out.E1.push_back({uint8_t(k.Scancode), k.VirtualKey});
    }
  }
  std::vector<CLayoutRow> rows = source.Rows;
  if (group == 1) {
    for (const CLayoutRow& g : source.GroupRows) {
      auto it = std::find_if(rows.begin(), rows.end(),
                             [&](const CLayoutRow& r) { return r.VirtualKey == g.VirtualKey; });
      if (it != rows.end()) {
        *it = g;
      } else {
        rows.push_back(g);
      }
    }
  }
  for (const CLayoutRow& r : rows)
    if (r.Scancode >= 0) out.VscToVk[r.Scancode] = r.VirtualKey;
  for (const CScancodeChange& c : source.Variants[variant]) out.VscToVk[c.Scancode] = c.VirtualKey;

  // The installer lets the user give these keys another function and compares
  // the choice with its key table: the layout must leave them as that table says.
  const uint8_t remappable[] = {0x2A, 0x36, 0x1D, 0x38, 0x56, 0x0F, 0x3A, 0x46, 0x45};
  for (uint8_t sc : remappable)
    for (int i = 0; i < KeyTableEndRow; ++i)
      if (KeyTable[i].Scancode == sc && out.VscToVk[sc] != KeyTable[i].VirtualKey) {
        error = "scancode " + std::to_string(sc) + " is a key the installer remaps; group " +
                std::to_string(group) + " variant " + std::to_string(variant) +
                " must leave its virtual key as the key table says";
        return 0;
      }

  // Every virtual key with characters must sit on some key, or its row is dead weight
  // and, worse, a sign of a typing error in the source.
  for (const CLayoutRow& r : rows) {
    bool placed = false;
    for (uint16_t v : out.VscToVk) placed = placed || (v & 0xFF) == r.VirtualKey;
    if (!placed) {
      error = "line " + std::to_string(r.Line) + ": virtual key " + std::to_string(r.VirtualKey) +
              " is on no key in variant " + std::to_string(variant);
      return 0;
    }
  }

  // Character rows, grouped by the number of columns they need. The table of
  // two columns comes first and starts with the keypad decimal key; the keypad
  // digits come last, so that digits are looked up on the main keys first.
  std::map<int, CCharTable> byWidth;
  auto add = [&](uint8_t vk, uint8_t attributes, std::vector<uint16_t> chars,
                 std::vector<uint16_t> dead) {
    size_t width = chars.size();
    while (width > 1 && chars[width - 1] == WchNone) --width;
    if (width < 2) width = 2;
    chars.resize(width, WchNone);
    CCharTable& t = byWidth[int(width)];
    t.Columns = int(width);
    t.Rows.push_back({vk, attributes, chars});
    bool anyDead = false;
    for (uint16_t d : dead) anyDead = anyDead || d;
    if (anyDead) {
      std::vector<uint16_t> deadRow(width, WchNone);
      for (size_t c = 0; c < width && c < dead.size(); ++c)
        if (dead[c]) deadRow[c] = dead[c];
      t.Rows.push_back({0xFF, 0, deadRow});
    }
  };
  auto inSource = [&](uint8_t vk) {
    return std::any_of(rows.begin(), rows.end(),
                       [&](const CLayoutRow& r) { return r.VirtualKey == vk; });
  };
  // The keypad decimal key first, whether from the source or the standard set.
  for (const CLayoutRow& r : rows)
    if (r.VirtualKey == 0x6E) add(r.VirtualKey, r.Attributes, r.Chars, r.DeadChars);
  for (const StandardRow& s : StandardRows)
    if (!inSource(s.Vk)) add(s.Vk, 0, std::vector<uint16_t>(s.Chars, s.Chars + s.Columns), {});
  for (const CLayoutRow& r : rows)
    if (r.VirtualKey != 0x6E) add(r.VirtualKey, r.Attributes, r.Chars, r.DeadChars);
  for (auto& w : byWidth) out.CharTables.push_back(w.second);
  CCharTable keypad{1, {}};
  for (int d = 0; d < 10; ++d) keypad.Rows.push_back({uint8_t(0x60 + d), 0, {uint16_t('0' + d)}});
  out.CharTables.push_back(keypad);

  out.DeadKeys = source.DeadKeys;
  out.KeyNames = source.KeyNames;
  out.KeyNamesExt = source.KeyNamesExt;
  out.KeyNamesDead = source.KeyNamesDead;
  return 1;
}

uint16_t CharOfKey(const CLayoutTables& tables, uint8_t virtualKey, int column) {
  for (const CCharTable& t : tables.CharTables)
    for (const CCharRow& r : t.Rows)
      if (r.VirtualKey == virtualKey) return column < t.Columns ? r.Chars[column] : WchNone;
  return WchNone;
}
