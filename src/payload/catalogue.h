// The items embedded in the image, found by their role.
//
// The image holds 44 consecutive records, each a 32-bit size A, a 32-bit
// size B (least significant byte first), then A bytes of item A and B bytes
// of item B:
//
//   record 0        common string table     | language 0 string table
//   record 1        language 1 string table | licence text, language 0
//   record 2        licence text, language 1| key blob (raw, 968 bytes)
//   records 3..41   layout builds t = 0..77, item A then item B
//   record 42       extra string table      | component file
//   record 43       page file               | shared file
//
// Layout build t serves group t / 39, variant (t % 39) / 13, slot t % 13.
// An item of size 0 is absent: the package was built without it.
//
// In the Windows builds the records are assembled into the image right after
// a 16-byte marker (CatalogueMarker) so that tools can find them in a built
// executable; the roles are resolved once, before the program's entry runs.
#pragma once

#include <cstddef>
#include <cstdint>

// An item's stored bytes in the image and their size. A payload entry's size
// is a multiple of 8; the key blob is a raw item of its own size.
struct PayloadEntry {
  const uint8_t* Data = nullptr;
  uint32_t Size = 0;
};

constexpr int CatalogueRecords = 44;
constexpr int CatalogueItems = 2 * CatalogueRecords;
constexpr int LayoutGroups = 2;
constexpr int LayoutVariants = 3;
constexpr int LayoutSlots = 13;
constexpr int LayoutBuilds = LayoutGroups * LayoutVariants * LayoutSlots;
constexpr int FirstLayoutRecord = 3;

// Item numbers (record * 2 + 0 for item A, + 1 for item B).
enum CatalogueItem : int {
  ItemCommonStrings = 0,
  ItemLanguage0Strings = 1,
  ItemLanguage1Strings = 2,
  ItemLicence0 = 3,
  ItemLicence1 = 4,
  ItemKeyBlob = 5,
  ItemFirstLayout = 6,
  ItemExtraStrings = 84,
  ItemComponentFile = 85,
  ItemPageFile = 86,
  ItemSharedFile = 87,
};

constexpr char CatalogueMarker[16] = {'K', 'L', 'S', 'E', 'T', 'U', 'P', '-',
                                      'C', 'A', 'T', 'A', 'L', 'O', 'G', '1'};

// Walks the 44 records of `image` (at most `size` bytes) and fills `items`.
// 1 when every record lies inside; 0, with `items` all empty, otherwise.
int ParseCatalogue(const uint8_t* image, size_t size, PayloadEntry items[CatalogueItems]);

// The roles in this program's own image; empty where the image has no
// catalogue or the package lacks the item.
PayloadEntry KeyBlobItem();
PayloadEntry CommonStringsEntry();
PayloadEntry ExtraStringsEntry();
PayloadEntry LanguageStringsEntry(int language);
PayloadEntry LicenceEntry(int language);
PayloadEntry LayoutEntry(int group, int variant, int slot);
PayloadEntry ComponentFileEntry();
PayloadEntry PageFileEntry();
PayloadEntry SharedFileEntry();

// Lookup tables of the layout builds, indexed [group][variant][slot], and of
// the licence texts, indexed by the user-interface language. Filled during
// static initialisation.
extern const uint8_t* LayoutPointers[LayoutGroups][LayoutVariants][LayoutSlots];
extern uint32_t LayoutSizes[LayoutGroups][LayoutVariants][LayoutSlots];
extern const uint8_t* LicencePointers[2];
extern uint32_t LicenceSizes[2];
