// Decisions about the running system that need no system call.
#pragma once

#include <cstdint>

// Processor architecture codes of the native system information.
constexpr uint16_t ArchX86 = 0;
constexpr uint16_t ArchIA64 = 6;
constexpr uint16_t ArchAMD64 = 9;
constexpr uint16_t ArchUnknown = 0xFFFF;

// Whether the package serves this Windows version (major * 10 + minor) on
// this processor architecture.
bool IsSupportedPlatform(int32_t osVersionCode, uint16_t architecture);

// Whether an input language id is one of the Cyrillic languages the layout
// can stand in for.
bool IsCyrillicLanguage(uint16_t langId);
