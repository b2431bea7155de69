#include "pages/page_format.h"

int FormatOneText(GString& out, const GString& pattern, const GString& argument) {
  out.AssignWide(u"", 0);
  const char16_t* p = pattern.IsWide() ? pattern.WideText(0) : u"";
  const int n = pattern.IsWide() ? pattern.Length() : 0;
  for (int i = 0; i < n; ++i) {
    if (p[i] != u'%' || i + 1 >= n) continue;
    int end = -1;
    if (p[i + 1] == u's') end = i + 2;
    if (p[i + 1] == u'l' && i + 2 < n && p[i + 2] == u's') end = i + 3;
    if (end < 0) continue;
    return out.AppendWide(p, i) && out.Append(argument) && out.AppendWide(p + end, n - end);
  }
  return out.AppendWide(p, n);
}
