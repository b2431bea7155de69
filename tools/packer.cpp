// Packs the package into the catalogue the setup executables embed.
//
//   packer --key-blob <blob> --out <catalogue.bin>
//          --common <t.stbl> --extra <t.stbl> --language0 <t.stbl> --language1 <t.stbl>
//          --licence0 <text> --licence1 <text>
//          [--layouts <manifest>] [--component <file>] [--page <file>] [--shared <file>]
//          [--depfile <d>]
//
// String tables come from string_compiler (their row count becomes the
// entry's Extra). The layout builds are named by the layout tools' manifest:
// after '#' comment lines, one line per build with tab-separated fields
//   entry  file  group  variant  slot  machine  bytes
// where file is relative to the manifest's folder, or "-" when the build is
// missing. The component, page and shared files are taken when they exist.
// Whatever is missing (a build, a file, the whole manifest) is packed as an
// empty item of size 0, which the program and the dump tool see as missing.
//
// Every entry is compressed to raw DEFLATE with zopfli, checksummed, given
// its header and encrypted with the key derived from the key blob. Same
// inputs, same bytes.
#include <zopfli/zopfli.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "entry_writer.h"
#include "payload/catalogue.h"

namespace {

bool ReadFile(const std::string& path, Bytes& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

Bytes DeflateZopfli(const Bytes& plain) {
  ZopfliOptions options;
  ZopfliInitOptions(&options);
  // Fewer iterations on the large companion files keep the build quick; the
  // gain of more is a fraction of a percent.
  options.numiterations = plain.size() > 256 * 1024 ? 5 : 15;
  unsigned char* out = nullptr;
  size_t outSize = 0;
  ZopfliCompress(&options, ZOPFLI_FORMAT_DEFLATE, plain.data(), plain.size(), &out, &outSize);
  Bytes packed(out, out + outSize);
  std::free(out);
  return packed;
}

void PutLe32(Bytes& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "packer: %s\n", message.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::map<std::string, std::string> args;
  std::vector<std::string> inputs;  // read from the list: the depfile names them
  for (int i = 1; i + 1 < argc; i += 2) args[argv[i]] = argv[i + 1];
  for (const char* required : {"--key-blob", "--out", "--common", "--extra", "--language0",
                               "--language1", "--licence0", "--licence1"}) {
    if (args.count(required) == 0) return Fail(std::string("missing ") + required);
  }

  Bytes blob;
  if (!ReadFile(args["--key-blob"], blob)) return Fail("cannot read " + args["--key-blob"]);
  const Bytes key = DeriveKey(blob);
  if (key.empty()) return Fail("the key blob is not " + std::to_string(968) + " bytes");

  // Item number -> (plain bytes, extra); items without a source stay empty.
  std::map<int, std::pair<Bytes, uint32_t>> plain;
  auto table = [&](const char* option, int item) {
    Bytes data;
    if (!ReadFile(args[option], data) || data.size() < 8 || data[0] != 'S' || data[1] != 'T' ||
        data[2] != 'B' || data[3] != '1')
      return false;
    const uint32_t rows = uint32_t(data[4]) | uint32_t(data[5]) << 8 | uint32_t(data[6]) << 16 |
                          uint32_t(data[7]) << 24;
    plain[item] = {Bytes(data.begin() + 8, data.end()), rows};
    return true;
  };
  if (!table("--common", ItemCommonStrings) || !table("--extra", ItemExtraStrings) ||
      !table("--language0", ItemLanguage0Strings) || !table("--language1", ItemLanguage1Strings))
    return Fail("a string table is missing or not the string compiler's output");
  for (auto [option, item] :
       {std::pair{"--licence0", int(ItemLicence0)}, std::pair{"--licence1", int(ItemLicence1)}}) {
    Bytes data;
    if (!ReadFile(args[option], data)) return Fail("cannot read " + args[option]);
    plain[item] = {data, 0};
  }

  // Optional inputs: read when present; the depfile names what was read.
  auto optional = [&](const std::string& path, int item) {
    Bytes data;
    if (path.empty() || !ReadFile(path, data)) return;
    inputs.push_back(path);
    plain[item] = {data, 0};
  };
  if (args.count("--layouts") != 0) {
    const std::string manifestPath = args["--layouts"];
    std::ifstream manifest(manifestPath);
    if (manifest) {
      inputs.push_back(manifestPath);
      const size_t slash = manifestPath.find_last_of('/');
      const std::string folder =
          slash == std::string::npos ? "" : manifestPath.substr(0, slash + 1);
      std::string line;
      int lineNo = 0;
      while (std::getline(manifest, line)) {
        ++lineNo;
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        int entry = -1, group = -1, variant = -1, slot = -1;
        std::string file;
        if (!(fields >> entry >> file >> group >> variant >> slot) || entry < 0 ||
            entry >= LayoutBuilds || group != entry / 39 || variant != entry % 39 / 13 ||
            slot != entry % 13)
          return Fail(manifestPath + ":" + std::to_string(lineNo) + ": not a layout build line");
        if (file == "-") continue;
        const std::string path = file[0] == '/' ? file : folder + file;
        const int item = ItemFirstLayout + entry;
        if (plain.count(item) != 0)
          return Fail(manifestPath + ":" + std::to_string(lineNo) + ": build named twice");
        Bytes data;
        if (!ReadFile(path, data))
          return Fail(manifestPath + ":" + std::to_string(lineNo) + ": cannot read " + path);
        inputs.push_back(path);
        plain[item] = {data, 0};
      }
    }
  }
  optional(args["--component"], ItemComponentFile);
  optional(args["--page"], ItemPageFile);
  optional(args["--shared"], ItemSharedFile);

  Bytes catalogue;
  int present = 0;
  for (int record = 0; record < CatalogueRecords; ++record) {
    Bytes items[2];
    for (int k = 0; k < 2; ++k) {
      const int item = 2 * record + k;
      if (item == ItemKeyBlob) {
        items[k] = blob;  // stored raw: the guard needs it before any entry opens
      } else if (plain.count(item) != 0) {
        const auto& [data, extra] = plain[item];
        items[k] = MakeEntry(data, DeflateZopfli(data), key, extra);
        ++present;
      }
    }
    PutLe32(catalogue, uint32_t(items[0].size()));
    PutLe32(catalogue, uint32_t(items[1].size()));
    catalogue.insert(catalogue.end(), items[0].begin(), items[0].end());
    catalogue.insert(catalogue.end(), items[1].begin(), items[1].end());
  }

  std::ofstream out(args["--out"], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(catalogue.data()), std::streamsize(catalogue.size()));
  if (!out) return Fail("cannot write " + args["--out"]);
  if (args.count("--depfile") != 0) {
    std::ofstream dep(args["--depfile"], std::ios::trunc);
    dep << args["--out"] << ":";
    for (const std::string& input : inputs) dep << " \\\n  " << input;
    dep << "\n";
  }
  std::printf("packer: %d of %d entries present, catalogue %zu bytes\n", present,
              CatalogueItems - 1, catalogue.size());
  return 0;
}
