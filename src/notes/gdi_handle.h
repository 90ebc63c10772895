#pragma once
// One owner for GDI handles: memory device contexts, bitmaps, fonts and
// brushes.  Move-only; a reset frees what was held.
#include <windows.h>

#include <utility>

namespace vellumo::notes {

struct MemoryDcTraits {
  static void Free(HDC dc) noexcept { ::DeleteDC(dc); }
};
struct GdiObjectTraits {
  static void Free(HGDIOBJ object) noexcept { ::DeleteObject(object); }
};
struct IconTraits {
  static void Free(HICON icon) noexcept { ::DestroyIcon(icon); }
};

template <typename Handle, typename Traits>
class GdiHandle {
 public:
  GdiHandle() = default;
  explicit GdiHandle(Handle handle) noexcept : handle_(handle) {}
  GdiHandle(const GdiHandle&) = delete;
  GdiHandle& operator=(const GdiHandle&) = delete;
  GdiHandle(GdiHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  GdiHandle& operator=(GdiHandle&& other) noexcept {
    if (this != &other) reset(std::exchange(other.handle_, nullptr));
    return *this;
  }
  ~GdiHandle() { reset(); }

  void reset(Handle handle = nullptr) noexcept {
    if (handle_) Traits::Free(handle_);
    handle_ = handle;
  }
  [[nodiscard]] Handle release() noexcept { return std::exchange(handle_, nullptr); }
  Handle get() const noexcept { return handle_; }
  explicit operator bool() const noexcept { return handle_ != nullptr; }

 private:
  Handle handle_ = nullptr;
};

using MemoryDc = GdiHandle<HDC, MemoryDcTraits>;
using BitmapHandle = GdiHandle<HBITMAP, GdiObjectTraits>;
using FontHandle = GdiHandle<HFONT, GdiObjectTraits>;
using BrushHandle = GdiHandle<HBRUSH, GdiObjectTraits>;
using IconHandle = GdiHandle<HICON, IconTraits>;

// A memory DC with the bitmap it draws into.  The bitmap is selected out
// before either is freed, so deleting it never fails on a selected object.
class BackBuffer {
 public:
  BackBuffer() = default;
  BackBuffer(const BackBuffer&) = delete;
  BackBuffer& operator=(const BackBuffer&) = delete;
  ~BackBuffer() { Release(); }

  bool Create() {
    Release();
    dc_.reset(::CreateCompatibleDC(nullptr));
    if (!dc_) return false;
    ::SetBkMode(dc_.get(), TRANSPARENT);
    return true;
  }
  // A new screen-compatible bitmap of width x height replaces the old one.
  bool Resize(int width, int height) {
    if (!dc_) return false;
    HDC screen = ::GetDC(nullptr);
    BitmapHandle bitmap(::CreateCompatibleBitmap(screen, width, height));
    ::ReleaseDC(nullptr, screen);
    if (!bitmap) return false;
    HGDIOBJ previous = ::SelectObject(dc_.get(), bitmap.get());
    if (!original_) original_ = previous;
    bitmap_ = std::move(bitmap);
    return true;
  }
  void SelectFont(HFONT font) {
    if (!dc_ || !font) return;
    HGDIOBJ previous = ::SelectObject(dc_.get(), font);
    if (!originalFont_) originalFont_ = previous;
  }
  HDC dc() const { return dc_.get(); }

 private:
  void Release() {
    if (dc_) {
      if (original_) ::SelectObject(dc_.get(), original_);
      if (originalFont_) ::SelectObject(dc_.get(), originalFont_);
    }
    dc_.reset();
    bitmap_.reset();
    original_ = originalFont_ = nullptr;
  }
  MemoryDc dc_;
  BitmapHandle bitmap_;
  HGDIOBJ original_ = nullptr;
  HGDIOBJ originalFont_ = nullptr;
};

}  // namespace vellumo::notes
