// Owners for Win32 handles: one type per handle kind, move-only.
#pragma once

#include <windows.h>

#include <utility>

template <class Handle, class Traits>
class UniqueHandleOf {
 public:
  UniqueHandleOf() = default;
  explicit UniqueHandleOf(Handle h) : handle(h) {}
  UniqueHandleOf(const UniqueHandleOf&) = delete;
  UniqueHandleOf& operator=(const UniqueHandleOf&) = delete;
  UniqueHandleOf(UniqueHandleOf&& other) noexcept : handle(other.Release()) {}
  UniqueHandleOf& operator=(UniqueHandleOf&& other) noexcept {
    Reset(other.Release());
    return *this;
  }
  ~UniqueHandleOf() { Reset(); }

  void Reset(Handle h = Traits::Invalid()) {
    Handle old = std::exchange(handle, h);
    if (old != Traits::Invalid()) Traits::Close(old);
  }
  Handle Release() { return std::exchange(handle, Traits::Invalid()); }
  Handle Get() const { return handle; }
  explicit operator bool() const { return handle != Traits::Invalid(); }

 private:
  Handle handle = Traits::Invalid();
};

struct KernelHandleTraits {
  static HANDLE Invalid() { return nullptr; }
  static void Close(HANDLE h) { CloseHandle(h); }
};
struct FileHandleTraits {
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { CloseHandle(h); }
};
struct RegKeyTraits {
  static HKEY Invalid() { return nullptr; }
  static void Close(HKEY h) { RegCloseKey(h); }
};
struct ModuleTraits {
  static HMODULE Invalid() { return nullptr; }
  static void Close(HMODULE h) { FreeLibrary(h); }
};

using UniqueHandle = UniqueHandleOf<HANDLE, KernelHandleTraits>;  // events, threads, semaphores
using UniqueFile = UniqueHandleOf<HANDLE, FileHandleTraits>;      // CreateFile results
using UniqueRegKey = UniqueHandleOf<HKEY, RegKeyTraits>;
using UniqueModule = UniqueHandleOf<HMODULE, ModuleTraits>;
