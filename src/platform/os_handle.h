#pragma once
// Portable owners for the operating system's file handles and mapped views,
// on the one owner template.  The headers stay free of <windows.h>; the
// closing functions live in the Win32 and POSIX twins.
#include <cstdint>

#include "platform/unique_handle.h"

namespace vellumo::platform {

struct OsHandleTraits {
#ifdef _WIN32
  // A HANDLE; both null and INVALID_HANDLE_VALUE mean "nothing".
  using Handle = void*;
  static Handle Invalid() noexcept { return nullptr; }
  static bool IsValid(Handle h) noexcept { return h != nullptr && h != reinterpret_cast<void*>(~std::uintptr_t{0}); }
#else
  using Handle = int;  // a descriptor
  static Handle Invalid() noexcept { return -1; }
  static bool IsValid(Handle h) noexcept { return h >= 0; }
#endif
  static void Close(Handle h) noexcept;
};
using OsHandle = UniqueHandle<OsHandleTraits>;

// A mapped view with the length it was mapped with (munmap needs it).
struct ViewSpan {
  std::uint8_t* base = nullptr;
  std::uint32_t lengthBytes = 0;
  friend bool operator==(const ViewSpan&, const ViewSpan&) = default;
};
struct MappedViewTraits {
  using Handle = ViewSpan;
  static Handle Invalid() noexcept { return {}; }
  static bool IsValid(const Handle& h) noexcept { return h.base != nullptr; }
  static void Close(Handle h) noexcept;
};
using MappedView = UniqueHandle<MappedViewTraits>;

}  // namespace vellumo::platform
