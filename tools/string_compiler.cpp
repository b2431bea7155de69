// Compiles one human-editable string source into a decoded string table.
//
//   string_compiler --encoding utf-8|utf-16 <output.stbl> <source.txt>...
//                   [--optional <source.txt>]... [--depfile <file>]
//
// The sources are merged into one table; an id may appear only once across
// them. A source after --optional is skipped when it does not exist (the
// layout tools generate one with the byte patterns of their builds).
//
// Source format (UTF-8):
//   # comment                  a line whose first non-blank character is '#'
//   86 = 0419                  id, '=', the text (blanks around it trimmed);
//   146<TAB>0C2C               an id and a tab serve as well (generated sources)
//   140 =                      an id with nothing after '=' takes the lines
//       | first line           that follow and start with '|' (one blank after
//       | second line          the bar is dropped), joined with CR LF
// Escapes in texts: \\ \n \r \t \s (a blank, for significant blanks at the
// ends) \uXXXX (one UTF-16 unit, for characters that are better not typed).
// Duplicate ids, unknown escapes and malformed UTF-8 are errors reported with
// the file and line.
//
// Output: "STB1", the row count (32-bit, least significant byte first), then
// the table: sorted (id, offset) rows and the pool of length-prefixed records
// (UTF-8 records carry bit 31 in their header). The packer stores the row
// count as the entry's Extra.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Text {
  std::u16string Units;
  int Line = 0;
};

std::string File;
int Errors = 0;

void Error(int line, const std::string& message) {
  std::fprintf(stderr, "%s:%d: %s\n", File.c_str(), line, message.c_str());
  ++Errors;
}

// Strict UTF-8 to UTF-16: no overlong forms, no surrogates, nothing past U+10FFFF.
bool DecodeUtf8(const std::string& in, std::u16string& out) {
  size_t i = 0;
  while (i < in.size()) {
    const uint8_t b = uint8_t(in[i]);
    uint32_t cp;
    int extra;
    if (b < 0x80) {
      cp = b;
      extra = 0;
    } else if (b >= 0xC2 && b <= 0xDF) {
      cp = b & 0x1F;
      extra = 1;
    } else if (b >= 0xE0 && b <= 0xEF) {
      cp = b & 0x0F;
      extra = 2;
    } else if (b >= 0xF0 && b <= 0xF4) {
      cp = b & 0x07;
      extra = 3;
    } else {
      return false;
    }
    if (i + size_t(extra) >= in.size()) return false;
    for (int k = 1; k <= extra; ++k) {
      const uint8_t c = uint8_t(in[i + size_t(k)]);
      if ((c & 0xC0) != 0x80) return false;
      cp = cp << 6 | (c & 0x3F);
    }
    if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += char16_t(0xD800 + (cp >> 10));
      out += char16_t(0xDC00 + (cp & 0x3FF));
    } else {
      out += char16_t(cp);
    }
    i += size_t(extra) + 1;
  }
  return true;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Escapes first (they are ASCII), then the UTF-8 between them.
bool Unescape(const std::string& raw, int line, std::u16string& out) {
  std::string run;
  auto flush = [&]() {
    if (!DecodeUtf8(run, out)) {
      Error(line, "malformed UTF-8");
      return false;
    }
    run.clear();
    return true;
  };
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '\\') {
      run += raw[i];
      continue;
    }
    if (!flush()) return false;
    if (i + 1 >= raw.size()) {
      Error(line, "a backslash ends the line (write \\\\ for a backslash)");
      return false;
    }
    const char e = raw[++i];
    switch (e) {
      case '\\':
        out += u'\\';
        break;
      case 'n':
        out += u'\n';
        break;
      case 'r':
        out += u'\r';
        break;
      case 't':
        out += u'\t';
        break;
      case 's':
        out += u' ';
        break;
      case 'u': {
        uint32_t v = 0;
        for (int k = 0; k < 4; ++k) {
          const int h = i + 1 < raw.size() ? HexValue(raw[i + 1]) : -1;
          if (h < 0) {
            Error(line, "\\u needs four hexadecimal digits");
            return false;
          }
          v = v << 4 | uint32_t(h);
          ++i;
        }
        out += char16_t(v);
        break;
      }
      default:
        Error(line, std::string("unknown escape \\") + e);
        return false;
    }
  }
  return flush();
}

std::string Trim(const std::string& s) {
  const size_t first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  const size_t last = s.find_last_not_of(" \t\r");
  return s.substr(first, last - first + 1);
}

void PutLe32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

bool EncodeUtf8(const std::u16string& in, std::string& out) {
  for (size_t i = 0; i < in.size(); ++i) {
    uint32_t cp = in[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < in.size() && in[i + 1] >= 0xDC00 &&
        in[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (in[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      return false;  // a lone surrogate has no UTF-8 form
    }
    if (cp < 0x80) {
      out += char(cp);
    } else if (cp < 0x800) {
      out += char(0xC0 | cp >> 6);
      out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += char(0xE0 | cp >> 12);
      out += char(0x80 | ((cp >> 6) & 0x3F));
      out += char(0x80 | (cp & 0x3F));
    } else {
      out += char(0xF0 | cp >> 18);
      out += char(0x80 | ((cp >> 12) & 0x3F));
      out += char(0x80 | ((cp >> 6) & 0x3F));
      out += char(0x80 | (cp & 0x3F));
    }
  }
  return true;
}

struct Source {
  std::string Path;
  bool Optional = false;
};

// Adds the texts of one source to `texts`; errors are counted in Errors.
void ParseSource(const std::string& path, std::map<uint32_t, Text>& texts,
                 std::map<uint32_t, std::string>& origin) {
  File = path;
  std::ifstream in(File, std::ios::binary);
  std::string rawLine;
  int lineNo = 0;
  Text* open = nullptr;  // the text that takes '|' lines
  bool openHasLines = false;
  while (std::getline(in, rawLine)) {
    ++lineNo;
    if (!rawLine.empty() && rawLine.back() == '\r') rawLine.pop_back();
    if (lineNo == 1 && rawLine.compare(0, 3, "\xEF\xBB\xBF") == 0) rawLine.erase(0, 3);
    const std::string line = Trim(rawLine);
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '|') {
      if (open == nullptr) {
        Error(lineNo, "a '|' line must follow an id with nothing after '='");
        continue;
      }
      std::string body = line.substr(1);
      if (!body.empty() && body[0] == ' ') body.erase(0, 1);
      std::u16string units;
      if (!Unescape(body, lineNo, units)) continue;
      if (openHasLines) open->Units += u"\r\n";
      open->Units += units;
      openHasLines = true;
      continue;
    }
    open = nullptr;
    const size_t eq = line.find_first_of("=\t");
    if (eq == std::string::npos) {
      Error(lineNo, "expected 'id = text'");
      continue;
    }
    const std::string idText = Trim(line.substr(0, eq));
    if (idText.empty() || idText.find_first_not_of("0123456789") != std::string::npos ||
        idText.size() > 10 || std::stoull(idText) > 0xFFFFFFFFull) {
      Error(lineNo, "'" + idText + "' is not an id (a decimal number below 2^32)");
      continue;
    }
    const uint32_t id = uint32_t(std::stoull(idText));
    if (texts.count(id) != 0) {
      Error(lineNo, "id " + idText + " already defined at " + origin[id]);
      continue;
    }
    Text& text = texts[id];
    text.Line = lineNo;
    origin[id] = File + ":" + std::to_string(lineNo);
    const std::string body = Trim(line.substr(eq + 1));
    if (body.empty()) {
      open = &text;
      openHasLines = false;
    } else {
      Unescape(body, lineNo, text.Units);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<Source> sources;
  bool utf8 = false;
  std::string output;
  std::string depfile;
  bool usage = argc < 5 || std::string(argv[1]) != "--encoding" ||
               (std::string(argv[2]) != "utf-8" && std::string(argv[2]) != "utf-16");
  if (!usage) {
    utf8 = std::string(argv[2]) == "utf-8";
    output = argv[3];
    for (int i = 4; i < argc; ++i) {
      if (std::string(argv[i]) == "--depfile") {
        if (++i == argc)
          usage = true;
        else
          depfile = argv[i];
      } else if (std::string(argv[i]) == "--optional") {
        if (++i == argc)
          usage = true;
        else
          sources.push_back({argv[i], true});
      } else {
        sources.push_back({argv[i], false});
      }
    }
  }
  if (usage || sources.empty()) {
    std::fprintf(stderr,
                 "usage: string_compiler --encoding utf-8|utf-16 <output> <source>... "
                 "[--optional <source>]... [--depfile <file>]\n");
    return 2;
  }

  std::map<uint32_t, Text> texts;
  std::map<uint32_t, std::string> origin;
  std::vector<std::string> read;
  for (const Source& source : sources) {
    if (!std::ifstream(source.Path)) {
      if (source.Optional) continue;
      std::fprintf(stderr, "%s: cannot open\n", source.Path.c_str());
      return 1;
    }
    read.push_back(source.Path);
    ParseSource(source.Path, texts, origin);
  }
  if (!depfile.empty()) {
    // The sources read, optional ones included, so that a generated source
    // that appears or changes makes the table compile again.
    std::ofstream dep(depfile, std::ios::trunc);
    dep << output << ":";
    for (const std::string& path : read) dep << " \\\n  " << path;
    dep << "\n";
  }
  if (Errors != 0) return 1;
  if (texts.empty()) {
    std::fprintf(stderr, "%s: no texts\n", output.c_str());
    return 1;
  }

  std::vector<uint8_t> index;
  std::vector<uint8_t> pool;
  for (const auto& [id, text] : texts) {
    PutLe32(index, id);
    PutLe32(index, uint32_t(pool.size()));
    if (utf8) {
      std::string bytes;
      if (!EncodeUtf8(text.Units, bytes)) {
        std::fprintf(stderr, "%s: a lone surrogate cannot be stored as UTF-8\n",
                     origin[id].c_str());
        ++Errors;
        continue;
      }
      PutLe32(pool, uint32_t(bytes.size()) | 0x80000000u);
      pool.insert(pool.end(), bytes.begin(), bytes.end());
    } else {
      PutLe32(pool, uint32_t(text.Units.size()));
      for (char16_t u : text.Units) {
        pool.push_back(uint8_t(u));
        pool.push_back(uint8_t(u >> 8));
      }
    }
  }
  if (Errors != 0) return 1;

  std::vector<uint8_t> out = {'S', 'T', 'B', '1'};
  PutLe32(out, uint32_t(texts.size()));
  out.insert(out.end(), index.begin(), index.end());
  out.insert(out.end(), pool.begin(), pool.end());
  std::ofstream file(output, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(out.data()), std::streamsize(out.size()));
  if (!file) {
    std::fprintf(stderr, "%s: cannot write\n", output.c_str());
    return 1;
  }
  std::printf("%s: %zu rows\n", output.c_str(), texts.size());
  return 0;
}
