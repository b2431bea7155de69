// The handle kinds the program owns, each an alias of UniqueHandle.
#pragma once

#include <windows.h>

#include "core/unique_handle.h"

struct RegistryKeyTraits {
  using Handle = HKEY;
  static HKEY Invalid() { return nullptr; }
  static void Close(HKEY key) { RegCloseKey(key); }
};
using RegistryKey = UniqueHandle<RegistryKeyTraits>;

struct FileHandleTraits {
  using Handle = HANDLE;
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE file) { CloseHandle(file); }
};
using FileHandle = UniqueHandle<FileHandleTraits>;

// Process and thread handles: null means none.
struct KernelHandleTraits {
  using Handle = HANDLE;
  static HANDLE Invalid() { return nullptr; }
  static void Close(HANDLE handle) { CloseHandle(handle); }
};
using KernelHandle = UniqueHandle<KernelHandleTraits>;

struct ModuleTraits {
  using Handle = HMODULE;
  static HMODULE Invalid() { return nullptr; }
  static void Close(HMODULE module) { FreeLibrary(module); }
};
using Module = UniqueHandle<ModuleTraits>;

struct GdiObjectTraits {
  using Handle = HGDIOBJ;
  static HGDIOBJ Invalid() { return nullptr; }
  static void Close(HGDIOBJ object) { DeleteObject(object); }
};
using GdiObject = UniqueHandle<GdiObjectTraits>;

template <typename Interface>
struct ComTraits {
  using Handle = Interface*;
  static Interface* Invalid() { return nullptr; }
  static void Close(Interface* object) { object->Release(); }
};
template <typename Interface>
using ComPtr = UniqueHandle<ComTraits<Interface>>;
