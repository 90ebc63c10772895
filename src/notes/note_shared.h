#pragma once
// What every note window shares, made once on the first window's creation:
// the window class, the DefaultFont, the ButtonStrip glyphs and the address
// of SetLayeredWindowAttributes (absent on old systems: no transparency).
#include <windows.h>

#include <memory>

#include "notes/back_buffer.h"
#include "notes/item_icons.h"
#include "platform/win_handles.h"

namespace vellumo::notes {

struct ProgramContext;

inline constexpr wchar_t kNoteWindowClass[] = L"Vellumo";
inline constexpr int kButtonStripResource = 129;

using SetLayeredWindowAttributesFn = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);

struct SharedNoteResources {
  bool ready = false;
  platform::FontHandle defaultFont;
  platform::BitmapHandle buttonStripBitmap;  // bitmap resource 129, selected into buttonStrip
  BackBuffer buttonStrip;                    // declared last: freed first, which lets the bitmap go
  SetLayeredWindowAttributesFn setLayeredWindowAttributes = nullptr;
  std::unique_ptr<BuiltinIcons> builtinIcons;  // of the program's module
};

// Null when the class cannot be registered.
SharedNoteResources* EnsureSharedNoteResources(ProgramContext& context);
// The font notes draw with while their appearance names no face.
LOGFONTW DefaultNoteLogFont();
void SetWindowAlpha(const ProgramContext& context, HWND window, int alpha);

}  // namespace vellumo::notes
