#pragma once
// The Win32 handles the program owns, on the one owner template.  Closing
// keeps GetLastError, so a failure can be reported after the handles of the
// failed step were let go.
#include <windows.h>

#include "platform/os_handle.h"
#include "platform/unique_handle.h"

namespace vellumo::platform {

namespace win_traits {

// Handles that are null when empty and are let go by one call, which keeps
// GetLastError as it was.
template <typename H, auto Release>
struct Released {
  using Handle = H;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept {
    const DWORD error = ::GetLastError();
    Release(h);
    ::SetLastError(error);
  }
};

}  // namespace win_traits

// Kernel objects (mutexes, events, files, mappings): the portable owner,
// which takes both null and INVALID_HANDLE_VALUE for "nothing".
using KernelHandle = OsHandle;
using MemoryDc = UniqueHandle<win_traits::Released<HDC, &::DeleteDC>>;
using BitmapHandle = UniqueHandle<win_traits::Released<HBITMAP, &::DeleteObject>>;
using FontHandle = UniqueHandle<win_traits::Released<HFONT, &::DeleteObject>>;
using BrushHandle = UniqueHandle<win_traits::Released<HBRUSH, &::DeleteObject>>;
using IconHandle = UniqueHandle<win_traits::Released<HICON, &::DestroyIcon>>;
using MenuHandle = UniqueHandle<win_traits::Released<HMENU, &::DestroyMenu>>;

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
