// The buttons several wizard pages share, by control id.
#pragma once

constexpr int IdNext = 1;
constexpr int IdCancel = 300;
constexpr int IdBack = 301;
constexpr int IdKeys1 = 303;  // to the first key page
constexpr int IdKeys2 = 304;  // to the second key page
