// The package's companion documents, drawn from the layout source:
//
//   layout_documents SOURCE OUTDIR
//     OUTDIR/manual.pdf   the layout's manual: how to use it and a chart of
//                         every variant and group (the component file)
//     OUTDIR/keycaps.pdf  printable key-cap labels of both groups (the shared file)
//     OUTDIR/page.html    a small page about the layout (the page file)
//
// The PDF files carry a fixed creation date, so the same source gives the same bytes.
#include <cairo-pdf.h>
#include <pango/pangocairo.h>

#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "layout_slots.h"
#include "layout_source.h"
#include "layout_tables.h"

namespace {

constexpr double Mm = 72.0 / 25.4;
constexpr double PageWidth = 297 * Mm, PageHeight = 210 * Mm;  // A4 landscape
const char* const FixedDate = "2024-01-01T00:00:00";

struct KeyPlace {
  int Scancode;  // -1: a key drawn without characters
  double Width;  // in key units
  const char* Label;
};

// A 102-key main block, row by row.
const std::vector<std::vector<KeyPlace>> Rows = {
    {{0x29, 1, ""},
     {0x02, 1, ""},
     {0x03, 1, ""},
     {0x04, 1, ""},
     {0x05, 1, ""},
     {0x06, 1, ""},
     {0x07, 1, ""},
     {0x08, 1, ""},
     {0x09, 1, ""},
     {0x0A, 1, ""},
     {0x0B, 1, ""},
     {0x0C, 1, ""},
     {0x0D, 1, ""},
     {-1, 2, "Backspace"}},
    {{-1, 1.5, "Tab"},
     {0x10, 1, ""},
     {0x11, 1, ""},
     {0x12, 1, ""},
     {0x13, 1, ""},
     {0x14, 1, ""},
     {0x15, 1, ""},
     {0x16, 1, ""},
     {0x17, 1, ""},
     {0x18, 1, ""},
     {0x19, 1, ""},
     {0x1A, 1, ""},
     {0x1B, 1, ""},
     {0x2B, 1.5, ""}},
    {{-1, 1.75, "Caps Lock"},
     {0x1E, 1, ""},
     {0x1F, 1, ""},
     {0x20, 1, ""},
     {0x21, 1, ""},
     {0x22, 1, ""},
     {0x23, 1, ""},
     {0x24, 1, ""},
     {0x25, 1, ""},
     {0x26, 1, ""},
     {0x27, 1, ""},
     {0x28, 1, ""},
     {-1, 2.25, "Enter"}},
    {{-1, 1.25, "Shift"},
     {0x56, 1, ""},
     {0x2C, 1, ""},
     {0x2D, 1, ""},
     {0x2E, 1, ""},
     {0x2F, 1, ""},
     {0x30, 1, ""},
     {0x31, 1, ""},
     {0x32, 1, ""},
     {0x33, 1, ""},
     {0x34, 1, ""},
     {0x35, 1, ""},
     {-1, 2.75, "Shift"}},
    {{-1, 1.5, "Ctrl"},
     {-1, 1.25, "Win"},
     {-1, 1.5, "Alt"},
     {0x39, 6, ""},
     {-1, 1.5, "AltGr"},
     {-1, 1.25, "Menu"},
     {-1, 2, "Ctrl"}},
};

std::string Utf8(const std::u16string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    uint32_t c = s[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size())
      c = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00);
    if (c < 0x80) {
      out += char(c);
    } else if (c < 0x800) {
      out += char(0xC0 | c >> 6);
      out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += char(0xE0 | c >> 12);
      out += char(0x80 | (c >> 6 & 0x3F));
      out += char(0x80 | (c & 0x3F));
    } else {
      out += char(0xF0 | c >> 18);
      out += char(0x80 | (c >> 12 & 0x3F));
      out += char(0x80 | (c >> 6 & 0x3F));
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// What a character cell shows: printable characters only.
std::string Shown(uint16_t ch) {
  if (ch == WchNone || ch == WchDead || ch < 0x20 || ch == 0x7F) return "";
  if (ch == 0x20) return "";
  return Utf8(std::u16string(1, char16_t(ch)));
}

std::string Escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '&') {
      out += "&amp;";
    } else if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else if (c == '"') {
      out += "&quot;";
    } else {
      out += c;
    }
  }
  return out;
}

void Text(cairo_t* cr, const std::string& text, double x, double y, double size, bool bold = false,
          double r = 0, double g = 0, double b = 0) {
  if (text.empty()) return;
  PangoLayout* layout = pango_cairo_create_layout(cr);
  PangoFontDescription* font =
      pango_font_description_from_string(bold ? "DejaVu Sans Bold" : "DejaVu Sans");
  pango_font_description_set_absolute_size(font, size * PANGO_SCALE);
  pango_layout_set_font_description(layout, font);
  pango_layout_set_text(layout, text.c_str(), -1);
  cairo_set_source_rgb(cr, r, g, b);
  cairo_move_to(cr, x, y);
  pango_cairo_show_layout(cr, layout);
  pango_font_description_free(font);
  g_object_unref(layout);
}

std::string LatinLabel(uint8_t vk) {
  if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) return std::string(1, char(vk));
  return "";
}

// The character a key gives in a shift state, or WchNone.
uint16_t KeyChar(const CLayoutTables& t, int scancode, int state) {
  uint8_t column = t.ColumnOfState[state];
  if (column == 0x0F) return WchNone;
  return CharOfKey(t, uint8_t(t.VscToVk[scancode] & 0xFF), column);
}

uint16_t DeadOf(const CLayoutSource& s, const CLayoutTables& t, int scancode, int state) {
  uint8_t vk = uint8_t(t.VscToVk[scancode] & 0xFF);
  int column = t.ColumnOfState[state];
  for (const CLayoutRow& r : s.Rows)
    if (r.VirtualKey == vk && column < int(r.DeadChars.size())) return r.DeadChars[column];
  return 0;
}

void DrawKeyboard(cairo_t* cr, const CLayoutSource& s, const CLayoutTables& t, double x0, double y0,
                  double unit) {
  double y = y0;
  for (const auto& row : Rows) {
    double x = x0;
    for (const KeyPlace& k : row) {
      double w = k.Width * unit - 2;
      cairo_rectangle(cr, x + 1, y + 1, w, unit - 2);
      cairo_set_source_rgb(cr, k.Scancode >= 0 ? 1 : 0.93, k.Scancode >= 0 ? 1 : 0.93,
                           k.Scancode >= 0 ? 1 : 0.93);
      cairo_fill_preserve(cr);
      cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
      cairo_set_line_width(cr, 0.6);
      cairo_stroke(cr);
      if (k.Scancode < 0) {
        Text(cr, k.Label, x + 4, y + unit / 2 - 4, unit * 0.16, false, 0.3, 0.3, 0.3);
      } else if (k.Scancode != 0x39) {
        uint16_t base = KeyChar(t, k.Scancode, 0), shift = KeyChar(t, k.Scancode, 1);
        uint16_t alt = KeyChar(t, k.Scancode, 6), altShift = KeyChar(t, k.Scancode, 7);
        // Letters show their capital only, as key caps do.
        bool letterPair = shift != base && Shown(shift) != "" && base >= 0x0400 && base < 0x0500;
        Text(cr, Shown(shift), x + 4, y + 2, unit * 0.3, true);
        if (!letterPair) Text(cr, Shown(base), x + 4, y + unit * 0.48, unit * 0.3, true);
        Text(cr, Shown(altShift), x + unit * 0.58, y + 2, unit * 0.22, false, 0.1, 0.3, 0.7);
        uint16_t dead = DeadOf(s, t, k.Scancode, 6);
        if (alt == WchDead && dead) {
          Text(cr, Shown(dead), x + unit * 0.58, y + unit * 0.5, unit * 0.22, true, 0.8, 0.1, 0.1);
        } else {
          Text(cr, Shown(alt), x + unit * 0.58, y + unit * 0.5, unit * 0.22, false, 0.1, 0.3, 0.7);
        }
        Text(cr, LatinLabel(uint8_t(t.VscToVk[k.Scancode])), x + unit * 0.62, y + unit * 0.28,
             unit * 0.14, false, 0.55, 0.55, 0.55);
      }
      x += k.Width * unit;
    }
    y += unit;
  }
}

cairo_surface_t* NewPdf(const std::string& path, const CLayoutSource& s, const std::string& title) {
  cairo_surface_t* surface = cairo_pdf_surface_create(path.c_str(), PageWidth, PageHeight);
  cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_TITLE, title.c_str());
  cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATE_DATE, FixedDate);
  cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_MOD_DATE, FixedDate);
  cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATOR, s.FileName.c_str());
  return surface;
}

int Finish(cairo_surface_t* surface, cairo_t* cr, const std::string& path) {
  cairo_destroy(cr);
  cairo_surface_finish(surface);
  cairo_status_t status = cairo_surface_status(surface);
  cairo_surface_destroy(surface);
  if (status != CAIRO_STATUS_SUCCESS) {
    std::cerr << path << ": " << cairo_status_to_string(status) << "\n";
    return 0;
  }
  return 1;
}

std::string VariantName(const CLayoutSource& s, int v) {
  return v == 0 ? "QWERTY" : Utf8(s.VariantNames[v]);
}
std::string GroupName(const CLayoutSource& s, int g) {
  return g == 0 ? "ЯВЕРТЫ" : Utf8(s.GroupName);
}

int WriteManual(const CLayoutSource& s, const std::vector<CLayoutTables>& tables,
                const std::string& path) {
  std::string title = Utf8(s.Description);
  cairo_surface_t* surface = NewPdf(path, s, title);
  cairo_t* cr = cairo_create(surface);
  Text(cr, title, 20 * Mm, 20 * Mm, 26, true);
  const char* lines[] = {
      "Cyrillic letters on the keys of the Latin letters that sound alike: а on A, б on B, д on D, "
      "...",
      "ч on =, ш and щ on the brackets, э on \\, ю left of 1, ж on V, ь on X, ы on Y, ё next to "
      "the left Shift.",
      "AltGr (the right Alt key, or Ctrl+Alt) gives the characters in blue: ё on E, ъ on X, № on "
      "3, ₽ on 4,",
      "dashes on -, guillemets on the brackets and the Latin characters the letters replaced.",
      "AltGr+; is a dead key (red): it puts a diaeresis on the next letter: е → ё, и → ӥ, о → ӧ, у "
      "→ ӱ.",
      "Choose the variant for the Latin keyboard you type on: QWERTY, QWERTZ or AZERTY. The "
      "letters follow",
      "the Latin labels of your keys; Ctrl shortcuts stay on the Latin letters.",
      "The option \"alternative placement\" (ЯЖЕРТЫ) puts ж on W, в on V, ё left of 1 and ю next "
      "to the left Shift.",
      "Switch between input languages with the keys set in the system's language settings.",
  };
  double y = 36 * Mm;
  for (const char* line : lines) {
    Text(cr, line, 20 * Mm, y, 12);
    y += 8 * Mm;
  }
  cairo_show_page(cr);
  for (int g = 0; g < LayoutGroups; ++g)
    for (int v = 0; v < LayoutVariants; ++v) {
      Text(cr, title + " — " + GroupName(s, g) + ", " + VariantName(s, v), 15 * Mm, 12 * Mm, 18,
           true);
      DrawKeyboard(cr, s, tables[g * LayoutVariants + v], 15 * Mm, 28 * Mm, 17.8 * Mm);
      Text(cr,
           "Black: the key alone and with Shift. Blue: with AltGr and AltGr+Shift. Red: dead key. "
           "Grey: the "
           "key's Latin letter.",
           15 * Mm, 122 * Mm, 10, false, 0.3, 0.3, 0.3);
      cairo_show_page(cr);
    }
  return Finish(surface, cr, path);
}

// Labels of 12 mm squares to stick on the keys: one sheet per group.
int WriteKeycaps(const CLayoutSource& s, const std::vector<CLayoutTables>& tables,
                 const std::string& path) {
  cairo_surface_t* surface = NewPdf(path, s, Utf8(s.Description) + " key-cap labels");
  cairo_t* cr = cairo_create(surface);
  const double cell = 14 * Mm, label = 12 * Mm;
  for (int g = 0; g < LayoutGroups; ++g) {
    Text(cr,
         Utf8(s.Description) + " — " + GroupName(s, g) + ": key-cap labels (cut along the lines)",
         15 * Mm, 12 * Mm, 14, true);
    const CLayoutTables& t = tables[g * LayoutVariants];
    int n = 0;
    for (const auto& row : Rows)
      for (const KeyPlace& k : row) {
        if (k.Scancode < 0 || k.Scancode == 0x39) continue;
        uint16_t shift = KeyChar(t, k.Scancode, 1), base = KeyChar(t, k.Scancode, 0);
        if (!(base >= 0x0400 && base < 0x0500)) continue;
        for (int copy = 0; copy < 3; ++copy, ++n) {
          double x = 15 * Mm + (n % 18) * cell, y = 24 * Mm + (n / 18) * cell;
          cairo_rectangle(cr, x, y, label, label);
          cairo_set_source_rgb(cr, 0.6, 0.6, 0.6);
          cairo_set_line_width(cr, 0.3);
          cairo_stroke(cr);
          Text(cr, Shown(shift), x + 2 * Mm, y + 1.5 * Mm, 20, true);
        }
      }
    cairo_show_page(cr);
  }
  return Finish(surface, cr, path);
}

int WritePage(const CLayoutSource& s, const std::vector<CLayoutTables>& tables,
              const std::string& path) {
  std::ostringstream h;
  std::string title = Escape(Utf8(s.Description));
  h << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" << title
    << "</title>\n<style>body{font-family:sans-serif;margin:2em}td,th{border:1px solid "
       "#999;padding:2px "
       "6px;text-align:center}table{border-collapse:collapse}</style>\n</head>\n<body>\n<h1>"
    << title
    << "</h1>\n<p>Cyrillic letters on the keys of the Latin letters that sound alike. The manual "
    << "in the installation folder shows every variant; the key-cap labels can be printed and cut "
       "out.</p>\n";
  h << "<table>\n<tr><th>Latin key</th><th>" << Escape(GroupName(s, 0)) << "</th><th>"
    << Escape(GroupName(s, 1)) << "</th></tr>\n";
  const CLayoutTables& g0 = tables[0];
  const CLayoutTables& g1 = tables[LayoutVariants];
  for (int vk = 'A'; vk <= 'Z'; ++vk)
    h << "<tr><td>" << char(vk) << "</td><td>" << Escape(Shown(CharOfKey(g0, uint8_t(vk), 0)))
      << "</td><td>" << Escape(Shown(CharOfKey(g1, uint8_t(vk), 0))) << "</td></tr>\n";
  h << "</table>\n</body>\n</html>\n";
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << h.str();
  return bool(f);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: layout_documents SOURCE OUTDIR\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  CLayoutSource source;
  if (!in || !source.Parse(text.str())) {
    std::cerr << argv[1] << ": " << (in ? source.Error() : "cannot read") << "\n";
    return 1;
  }
  std::vector<CLayoutTables> tables(LayoutGroups * LayoutVariants);
  for (int g = 0; g < LayoutGroups; ++g)
    for (int v = 0; v < LayoutVariants; ++v) {
      std::string error;
      if (v >= int(source.Variants.size()) ||
          !ResolveLayoutTables(source, g, v, tables[g * LayoutVariants + v], error)) {
        std::cerr << argv[1] << ": " << error << "\n";
        return 1;
      }
    }
  std::string out = argv[2];
  if (!WriteManual(source, tables, out + "/manual.pdf") ||
      !WriteKeycaps(source, tables, out + "/keycaps.pdf") ||
      !WritePage(source, tables, out + "/page.html")) {
    std::cerr << "cannot write the documents into " << out << "\n";
    return 1;
  }
  return 0;
}
