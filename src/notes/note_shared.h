#pragma once
// What every note window shares, made once on the first window's creation:
// the window class, the DefaultFont, the ButtonStrip glyphs and the address
// of SetLayeredWindowAttributes (absent on old systems: no transparency).
#include <windows.h>

#include "notes/gdi_handle.h"

namespace vellumo::notes {

inline constexpr wchar_t kNoteWindowClass[] = L"Vellumo";
inline constexpr int kButtonStripResource = 129;

using SetLayeredWindowAttributesFn = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);

struct SharedNoteResources {
  bool ready = false;
  FontHandle defaultFont;
  BitmapHandle buttonStripBitmap;  // bitmap resource 129, selected into buttonStrip
  BackBuffer buttonStrip;          // freed first, which lets the bitmap go
  SetLayeredWindowAttributesFn setLayeredWindowAttributes = nullptr;
};

// Null when the class cannot be registered.
SharedNoteResources* EnsureSharedNoteResources();
void SetWindowAlpha(HWND window, int alpha);

}  // namespace vellumo::notes
