#pragma once
// Traits for the Win32 handles the program owns, on the one owner template.
// Closing keeps GetLastError, so a failure can be reported after the
// handles of the failed step were let go.
#include <windows.h>

#include "platform/unique_handle.h"

namespace vellumo::platform {

namespace win_traits {

class LastErrorKeeper {
 public:
  LastErrorKeeper() noexcept : error_(::GetLastError()) {}
  ~LastErrorKeeper() { ::SetLastError(error_); }
  LastErrorKeeper(const LastErrorKeeper&) = delete;
  LastErrorKeeper& operator=(const LastErrorKeeper&) = delete;

 private:
  DWORD error_;
};

// Kernel objects: mutexes, events, threads, mappings, files.  Both null and
// INVALID_HANDLE_VALUE mean "nothing", since the API returns either.
struct Kernel {
  using Handle = HANDLE;
  static Handle Invalid() noexcept { return nullptr; }
  static bool IsValid(Handle h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(Handle h) noexcept {
    LastErrorKeeper keep;
    ::CloseHandle(h);
  }
};

struct MappedView {
  using Handle = void*;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept {
    LastErrorKeeper keep;
    ::UnmapViewOfFile(h);
  }
};

struct MemoryDc {
  using Handle = HDC;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept {
    LastErrorKeeper keep;
    ::DeleteDC(h);
  }
};

template <typename T>
struct GdiObject {
  using Handle = T;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept {
    LastErrorKeeper keep;
    ::DeleteObject(h);
  }
};

struct Icon {
  using Handle = HICON;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept {
    LastErrorKeeper keep;
    ::DestroyIcon(h);
  }
};

struct Menu {
  using Handle = HMENU;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept {
    LastErrorKeeper keep;
    ::DestroyMenu(h);
  }
};

}  // namespace win_traits

using KernelHandle = UniqueHandle<win_traits::Kernel>;
using MappedViewHandle = UniqueHandle<win_traits::MappedView>;
using MemoryDc = UniqueHandle<win_traits::MemoryDc>;
using BitmapHandle = UniqueHandle<win_traits::GdiObject<HBITMAP>>;
using FontHandle = UniqueHandle<win_traits::GdiObject<HFONT>>;
using BrushHandle = UniqueHandle<win_traits::GdiObject<HBRUSH>>;
using IconHandle = UniqueHandle<win_traits::Icon>;
using MenuHandle = UniqueHandle<win_traits::Menu>;

// A window's DC from GetDC, given back to that window.
class WindowDc {
 public:
  explicit WindowDc(HWND window) noexcept : window_(window), dc_(::GetDC(window)) {}
  ~WindowDc() {
    if (dc_) ::ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC get() const noexcept { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// BeginPaint/EndPaint of one WM_PAINT.
class PaintScope {
 public:
  explicit PaintScope(HWND window) noexcept : window_(window), dc_(::BeginPaint(window, &paint_)) {}
  ~PaintScope() { ::EndPaint(window_, &paint_); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  HDC get() const noexcept { return dc_; }
  const RECT& area() const noexcept { return paint_.rcPaint; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

// Selects an object into a DC for a scope and puts back what was there, so
// that the object can be deleted afterwards: GDI will not delete an object
// that is still selected.
class Selection {
 public:
  Selection(HDC dc, HGDIOBJ object) noexcept
      : dc_(dc), previous_(dc && object ? ::SelectObject(dc, object) : nullptr) {}
  ~Selection() {
    if (previous_) ::SelectObject(dc_, previous_);
  }
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace vellumo::platform
