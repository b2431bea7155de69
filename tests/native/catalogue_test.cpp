// The package the native build packed: every record, every entry, every text.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/key_table.h"
#include "payload/catalogue.h"
#include "payload/guard.h"
#include "payload/string_table.h"

namespace {

uint32_t ReadLe32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Every id the program fetches.
std::vector<uint32_t> InventoryIds() {
  const uint32_t ranges[][2] = {{0, 60},    {62, 102},  {104, 106}, {108, 108}, {110, 115},
                                {119, 125}, {127, 133}, {135, 137}, {139, 141}, {143, 159},
                                {166, 167}, {173, 180}, {188, 190}, {228, 232}, {278, 285},
                                {287, 304}, {311, 311}, {317, 317}, {326, 326}};
  std::vector<uint32_t> ids;
  for (const auto& r : ranges)
    for (uint32_t id = r[0]; id <= r[1]; ++id) ids.push_back(id);
  return ids;
}

// The text of a record, as UTF-16 (UTF-8 records hold ASCII here or are
// widened byte by byte, which keeps every '%' and conversion letter).
std::u16string TextOf(const uint8_t* record) {
  const uint32_t header = ReadLe32(record);
  const uint32_t n = header & 0x1FFFFFFF;
  std::u16string text;
  for (uint32_t i = 0; i < n; ++i) {
    if (header & 0x80000000u)
      text += char16_t(record[4 + i]);
    else
      text += char16_t(record[4 + 2 * i] | record[5 + 2 * i] << 8);
  }
  return text;
}

// The conversion letters of a format string, in order ("%%" is none).
std::string Conversions(const std::u16string& format) {
  std::string letters;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != u'%') continue;
    ++i;
    while (i < format.size() &&
           std::u16string(u"-+ 0#$`.*0123456789Lhl").find(format[i]) != std::u16string::npos)
      ++i;
    if (i < format.size() && format[i] != u'%') letters += char(format[i]);
  }
  return letters;
}

class Package : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::ifstream in(PACKAGE_CATALOGUE, std::ios::binary);
    Image = new std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
  }
  static void TearDownTestSuite() {
    delete Image;
    Image = nullptr;
  }

  void SetUp() override {
    ASSERT_FALSE(Image->empty()) << PACKAGE_CATALOGUE;
    ASSERT_EQ(ParseCatalogue(Image->data(), Image->size(), Items), 1);
    ASSERT_NE(Guard.Load(Items[ItemKeyBlob].Data, Items[ItemKeyBlob].Size), 0);
  }

  void AttachTable(StringTable& table, int item) {
    uint32_t size = Items[item].Size;
    uint32_t rows = 0;
    uint8_t* data = Guard.Extract(Items[item].Data, &size, &rows);
    ASSERT_NE(data, nullptr) << "item " << item;
    ASSERT_EQ(table.Attach(data, rows, size), 1) << "item " << item;
  }

  static std::vector<uint8_t>* Image;
  PayloadEntry Items[CatalogueItems];
  CGuard Guard;
};

std::vector<uint8_t>* Package::Image = nullptr;

TEST_F(Package, FortyFourRecordsFillTheCatalogueExactly) {
  size_t at = 0;
  for (int record = 0; record < CatalogueRecords; ++record) {
    ASSERT_LE(at + 8, Image->size());
    const uint32_t a = ReadLe32(&(*Image)[at]);
    const uint32_t b = ReadLe32(&(*Image)[at + 4]);
    EXPECT_EQ(Items[2 * record].Size, a);
    EXPECT_EQ(Items[2 * record + 1].Size, b);
    if (a) {
      EXPECT_EQ(Items[2 * record].Data, Image->data() + at + 8);
    }
    at += 8 + size_t(a) + b;
  }
  EXPECT_EQ(at, Image->size());
  EXPECT_EQ(Items[ItemKeyBlob].Size, 968u);
  // A catalogue cut anywhere is refused as a whole.
  EXPECT_EQ(ParseCatalogue(Image->data(), Image->size() - 1, Items), 0);
  EXPECT_EQ(Items[ItemKeyBlob].Data, nullptr);
}

TEST_F(Package, EveryPresentEntryExtractsWithGoodChecksums) {
  const int required[] = {ItemCommonStrings, ItemLanguage0Strings, ItemLanguage1Strings,
                          ItemLicence0,      ItemLicence1,         ItemExtraStrings};
  for (int item : required) EXPECT_NE(Items[item].Size, 0u) << "item " << item;
  int missing = 0;
  for (int item = 0; item < CatalogueItems; ++item) {
    if (item == ItemKeyBlob) continue;
    if (Items[item].Size == 0) {
      ++missing;  // built without the layout tools' output
      continue;
    }
    EXPECT_EQ(Items[item].Size % 8, 0u) << "item " << item;
    uint32_t size = Items[item].Size;
    uint8_t* plain = Guard.Extract(Items[item].Data, &size, nullptr);
    EXPECT_NE(plain, nullptr) << "item " << item;
    delete[] plain;
  }
  if (missing != 0) std::printf("note: %d layout or companion items missing\n", missing);
}

TEST_F(Package, LicencesAreUtf8WithCrLf) {
  for (int item : {int(ItemLicence0), int(ItemLicence1)}) {
    uint32_t size = Items[item].Size;
    std::unique_ptr<uint8_t[]> text(Guard.Extract(Items[item].Data, &size, nullptr));
    ASSERT_NE(text, nullptr);
    const std::string s(reinterpret_cast<const char*>(text.get()), size);
    for (size_t at = s.find('\n'); at != std::string::npos; at = s.find('\n', at + 1))
      ASSERT_TRUE(at > 0 && s[at - 1] == '\r') << "item " << item << " offset " << at;
  }
}

TEST_F(Package, EveryFetchedIdResolvesInBothLanguages) {
  StringTable common, extra, language[2];
  AttachTable(common, ItemCommonStrings);
  AttachTable(extra, ItemExtraStrings);
  AttachTable(language[0], ItemLanguage0Strings);
  AttachTable(language[1], ItemLanguage1Strings);

  const std::vector<uint32_t> inventory = InventoryIds();
  ASSERT_EQ(inventory.size(), 196u);
  std::set<uint32_t> ids(inventory.begin(), inventory.end());
  for (int row = 0; row < KeyTableEndRow; ++row) ids.insert(KeyTable[row].LabelId);
  // The byte patterns come with the layout builds, from the layout tools.
  if (!std::ifstream(LAYOUT_STRINGS)) {
    std::printf("note: %s is missing: the byte patterns 146-151 are not checked\n", LAYOUT_STRINGS);
    for (uint32_t id = 146; id <= 151; ++id) ids.erase(id);
  }

  for (int ui = 0; ui < 2; ++ui) {
    std::string missing;
    for (uint32_t id : ids) {
      if (!language[ui].Find(id) && !common.Find(id) && !extra.Find(id))
        missing += " " + std::to_string(id);
    }
    EXPECT_EQ(missing, "") << "language " << ui << " lacks these ids";
  }
  // Format strings carry exactly the conversions their callers pass, in
  // order, in both languages.
  const struct {
    uint32_t id;
    const char* conversions;
  } formats[] = {{2, "ss"},      {12, "Xs"}, {48, "s"},  {49, "s"},  {62, "xss"},
                 {63, "sxssxx"}, {65, "ss"}, {66, "s"},  {69, "ss"}, {97, "s"},
                 {101, "s"},     {102, "s"}, {129, "s"}, {141, "s"}};
  for (int ui = 0; ui < 2; ++ui) {
    for (const auto& f : formats) {
      const uint8_t* r = language[ui].Find(f.id);
      if (!r) r = common.Find(f.id);
      if (!r) r = extra.Find(f.id);
      ASSERT_NE(r, nullptr) << f.id;
      EXPECT_EQ(Conversions(TextOf(r)), f.conversions) << "id " << f.id << ", language " << ui;
    }
  }
  // String 45 is looked for in an upper-cased path.
  const std::u16string fragment = TextOf(common.Find(45));
  for (char16_t c : fragment) EXPECT_FALSE(c >= u'a' && c <= u'z') << "string 45";

  // Multi-line texts keep CR LF between their lines (UTF-16 record).
  const uint8_t* message = language[0].Find(125);
  ASSERT_NE(message, nullptr);
  std::u16string text(ReadLe32(message) & 0x1FFFFFFF, u'\0');
  for (size_t i = 0; i < text.size(); ++i)
    text[i] = char16_t(message[4 + 2 * i] | message[5 + 2 * i] << 8);
  EXPECT_NE(text.find(u"\r\n\r\n"), std::u16string::npos);

  // The default layout language is a hexadecimal language id: Russian.
  const uint8_t* record = common.Find(86);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(ReadLe32(record) & 0x1FFFFFFF, 4u);
}

}  // namespace
