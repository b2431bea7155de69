// Looks into a built setup executable (either width): finds the embedded
// catalogue, lists every item with its stored size, plain size and checksum
// status, and extracts any item to a file.
//
// A bare catalogue (the packer's output) is read as well.
//
//   payload_dump <setup.exe>                     list every item
//   payload_dump <setup.exe> <role> <output>     write one item's plain bytes
// Roles: common, language0, language1, licence0, licence1, key-blob,
// layout-G-V-S (group 0-1, variant 0-2, slot 0-12), extra, component, page,
// shared. Exit code 1 when an item is damaged or a named item is missing.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "payload/catalogue.h"
#include "payload/guard.h"

namespace {

std::string RoleName(int item) {
  switch (item) {
    case ItemCommonStrings:
      return "common";
    case ItemLanguage0Strings:
      return "language0";
    case ItemLanguage1Strings:
      return "language1";
    case ItemLicence0:
      return "licence0";
    case ItemLicence1:
      return "licence1";
    case ItemKeyBlob:
      return "key-blob";
    case ItemExtraStrings:
      return "extra";
    case ItemComponentFile:
      return "component";
    case ItemPageFile:
      return "page";
    case ItemSharedFile:
      return "shared";
    default:
      break;
  }
  const int t = item - ItemFirstLayout;
  return "layout-" + std::to_string(t / 39) + "-" + std::to_string((t % 39) / 13) + "-" +
         std::to_string(t % 13);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 4) {
    std::fprintf(stderr, "usage: payload_dump <setup.exe> [<role> <output>]\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const std::vector<uint8_t> image((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
  if (image.empty()) {
    std::fprintf(stderr, "%s: cannot read\n", argv[1]);
    return 1;
  }

  const uint8_t* found = nullptr;
  for (size_t at = 0; at + sizeof CatalogueMarker <= image.size(); ++at) {
    if (std::memcmp(&image[at], CatalogueMarker, sizeof CatalogueMarker) == 0) {
      found = &image[at + sizeof CatalogueMarker];
      break;
    }
  }
  PayloadEntry items[CatalogueItems];
  if (found == nullptr) found = image.data();  // no marker: perhaps a bare catalogue
  if (!ParseCatalogue(found, size_t(image.data() + image.size() - found), items)) {
    std::fprintf(stderr, "%s: no catalogue found\n", argv[1]);
    return 1;
  }

  CGuard guard;
  const PayloadEntry blob = items[ItemKeyBlob];
  const bool haveKey = guard.Load(blob.Data, blob.Size) != 0;

  if (argc == 4) {
    const std::string role = argv[2];
    for (int item = 0; item < CatalogueItems; ++item) {
      if (RoleName(item) != role) continue;
      const PayloadEntry entry = items[item];
      if (entry.Size == 0) {
        std::fprintf(stderr, "%s: missing from this package\n", role.c_str());
        return 1;
      }
      std::vector<uint8_t> bytes;
      if (item == ItemKeyBlob) {
        bytes.assign(entry.Data, entry.Data + entry.Size);
      } else {
        uint32_t size = entry.Size;
        uint8_t* plain = guard.Extract(entry.Data, &size, nullptr);
        if (plain == nullptr) {
          std::fprintf(stderr, "%s: damaged (does not decrypt, verify or inflate)\n", role.c_str());
          return 1;
        }
        bytes.assign(plain, plain + size);
        delete[] plain;
      }
      std::ofstream out(argv[3], std::ios::binary | std::ios::trunc);
      out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
      return out ? 0 : 1;
    }
    std::fprintf(stderr, "%s: no such role\n", role.c_str());
    return 2;
  }

  std::printf("%-4s %-16s %10s %10s %8s  %s\n", "item", "role", "stored", "plain", "extra",
              "status");
  int damaged = 0;
  for (int item = 0; item < CatalogueItems; ++item) {
    const PayloadEntry entry = items[item];
    const std::string role = RoleName(item);
    if (entry.Size == 0) {
      std::printf("%-4d %-16s %10u %10s %8s  missing\n", item, role.c_str(), 0u, "-", "-");
      continue;
    }
    if (item == ItemKeyBlob) {
      std::printf("%-4d %-16s %10u %10s %8s  %s\n", item, role.c_str(), entry.Size, "-", "-",
                  haveKey ? "raw key blob, accepted" : "raw key blob, REJECTED");
      if (!haveKey) ++damaged;
      continue;
    }
    uint32_t size = entry.Size;
    uint32_t extra = 0;
    uint8_t* plain = haveKey ? guard.Extract(entry.Data, &size, &extra) : nullptr;
    if (plain == nullptr) {
      std::printf("%-4d %-16s %10u %10s %8s  BAD (does not decrypt, verify or inflate)\n", item,
                  role.c_str(), entry.Size, "-", "-");
      ++damaged;
      continue;
    }
    delete[] plain;
    std::printf("%-4d %-16s %10u %10u %8u  checksums good\n", item, role.c_str(), entry.Size, size,
                extra);
  }
  return damaged == 0 ? 0 : 1;
}
