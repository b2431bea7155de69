// Writes the C source of one layout library from its resolved tables.
//
// All tables live in one static object, in an order the patching relies on:
// the character tables (the keypad decimal key first), the E1 list, the E0
// list and then the scancode-to-virtual-key array. Patching goes the other
// way round (array, E0, E1, decimal key), so bytes changed by one step always
// lie after the bytes a later step searches for and cannot make it match early.
#pragma once

#include <string>

#include "layout_tables.h"

// The C text. Pointers take the width of the compiler's target.
std::string EmitLayoutC(const CLayoutTables& tables, const std::string& title);

// The resource script: string 1000 the layout's display name, 1100 its
// language's name (what "@file,-1000" display names refer to), and the
// version information of a keyboard driver.
std::string EmitLayoutRc(const CLayoutSource& source, const std::string& description);
