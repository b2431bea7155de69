// The catalogue of this program's own image: the records are assembled into
// the image (catalogue_image.S) and resolved into the role tables before the
// program's entry runs.
#include "payload/catalogue.h"

extern "C" const uint8_t PayloadCatalogueStart[];
extern "C" const uint8_t PayloadCatalogueEnd[];

const uint8_t* LayoutPointers[LayoutGroups][LayoutVariants][LayoutSlots];
uint32_t LayoutSizes[LayoutGroups][LayoutVariants][LayoutSlots];
const uint8_t* LicencePointers[2];
uint32_t LicenceSizes[2];

namespace {

struct CImageCatalogue {
  CImageCatalogue() {
    const size_t size = size_t(PayloadCatalogueEnd - PayloadCatalogueStart);
    ParseCatalogue(PayloadCatalogueStart, size, Items);
    for (int t = 0; t < LayoutBuilds; ++t) {
      const PayloadEntry& item = Items[ItemFirstLayout + t];
      const int group = t / 39;
      const int variant = (t % 39) / 13;
      const int slot = t % 13;
      LayoutPointers[group][variant][slot] = item.Data;
      LayoutSizes[group][variant][slot] = item.Size;
    }
    LicencePointers[0] = Items[ItemLicence0].Data;
    LicenceSizes[0] = Items[ItemLicence0].Size;
    LicencePointers[1] = Items[ItemLicence1].Data;
    LicenceSizes[1] = Items[ItemLicence1].Size;
  }

  PayloadEntry Items[CatalogueItems];
};

const CImageCatalogue Catalogue;

}  // namespace

PayloadEntry KeyBlobItem() { return Catalogue.Items[ItemKeyBlob]; }
PayloadEntry CommonStringsEntry() { return Catalogue.Items[ItemCommonStrings]; }
PayloadEntry ExtraStringsEntry() { return Catalogue.Items[ItemExtraStrings]; }

PayloadEntry LanguageStringsEntry(int language) {
  if (language != 0 && language != 1) return {};
  return Catalogue.Items[language == 0 ? ItemLanguage0Strings : ItemLanguage1Strings];
}

PayloadEntry LicenceEntry(int language) {
  if (language != 0 && language != 1) return {};
  return PayloadEntry{LicencePointers[language], LicenceSizes[language]};
}

PayloadEntry LayoutEntry(int group, int variant, int slot) {
  if (group < 0 || group >= LayoutGroups || variant < 0 || variant >= LayoutVariants || slot < 0 ||
      slot >= LayoutSlots)
    return {};
  return PayloadEntry{LayoutPointers[group][variant][slot], LayoutSizes[group][variant][slot]};
}

PayloadEntry ComponentFileEntry() { return Catalogue.Items[ItemComponentFile]; }
PayloadEntry PageFileEntry() { return Catalogue.Items[ItemPageFile]; }
PayloadEntry SharedFileEntry() { return Catalogue.Items[ItemSharedFile]; }
