// Patterns with one text argument, as the page texts use them.
#pragma once

#include "text/gstring.h"

// Writes `pattern` to `out` with its first "%s" (or "%ls") replaced by
// `argument`; a pattern without one is copied unchanged. 1/0.
// TODO: replace with GString::Format once the formatting engine is merged.
int FormatOneText(GString& out, const GString& pattern, const GString& argument);
