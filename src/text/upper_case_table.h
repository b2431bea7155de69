// The upper-case mappings that the range rules of UpperCaseOf do not answer:
// (lower unit, upper unit) pairs sorted by the lower unit. Generated at build
// time by tools/upper_case_table.py from the Unicode character database.
#pragma once

extern const char16_t kUpperCasePairs[][2];
extern const int kUpperCasePairCount;
