#pragma once
// A memory DC with the bitmap it draws into and the font it writes with.
// Whatever was selected is put back before the DC goes, so neither the
// bitmap nor a font is ever deleted while still selected (GDI refuses and
// the object leaks).  A font selected here must outlive the buffer.
#include <windows.h>

#include "platform/win_handles.h"

namespace vellumo::notes {

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
    platform::BitmapHandle bitmap;
    {
      platform::WindowDc screen(nullptr);
      bitmap.reset(::CreateCompatibleBitmap(screen.get(), width, height));
    }
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
  // Selects a bitmap owned elsewhere (a shared strip of glyphs).
  void SelectBitmap(HBITMAP bitmap) {
    if (!dc_ || !bitmap) return;
    HGDIOBJ previous = ::SelectObject(dc_.get(), bitmap);
    if (!original_) original_ = previous;
  }
  HDC dc() const { return dc_.get(); }

  // Puts back the DC's own objects and frees the DC and the bitmap.
  void Release() {
    if (dc_) {
      if (original_) ::SelectObject(dc_.get(), original_);
      if (originalFont_) ::SelectObject(dc_.get(), originalFont_);
    }
    dc_.reset();
    bitmap_.reset();
    original_ = originalFont_ = nullptr;
  }

 private:
  platform::MemoryDc dc_;
  platform::BitmapHandle bitmap_;
  HGDIOBJ original_ = nullptr;
  HGDIOBJ originalFont_ = nullptr;
};

}  // namespace vellumo::notes
