#include "core/environment_rules.h"

bool IsSupportedPlatform(int32_t osVersionCode, uint16_t architecture) {
  switch (osVersionCode) {
    case 50:  // 2000
    case 51:  // XP: the 64-bit editions report 52
      return architecture == ArchX86;
    case 52:   // XP x64, Server 2003
    case 60:   // Vista
    case 61:   // 7
    case 62:   // 8
    case 63:   // 8.1
    case 100:  // 10
      return architecture == ArchX86 || architecture == ArchIA64 || architecture == ArchAMD64;
    default:
      return false;
  }
}

bool IsCyrillicLanguage(uint16_t langId) {
  static const uint16_t kCyrillic[] = {
      0x0402,  // Bulgarian
      0x0419,  // Russian
      0x0422,  // Ukrainian
      0x0423,  // Belarusian
      0x0428,  // Tajik
      0x042F,  // Macedonian
      0x043F,  // Kazakh
      0x0440,  // Kyrgyz
      0x0444,  // Tatar
      0x0450,  // Mongolian
      0x046D,  // Bashkir
      0x0485,  // Sakha
      0x082C,  // Azerbaijani (Cyrillic)
      0x0843,  // Uzbek (Cyrillic)
      0x0C1A,  // Serbian (Cyrillic)
  };
  for (uint16_t id : kCyrillic) {
    if (id == langId) return true;
  }
  return false;
}
