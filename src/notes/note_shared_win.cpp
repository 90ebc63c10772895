#include "notes/note_shared.h"

#include "notes/note_window.h"
#include "notes/program_context.h"

namespace vellumo::notes {

LOGFONTW DefaultNoteLogFont() {
  LOGFONTW font{};
  font.lfHeight = 18;
  font.lfCharSet = DEFAULT_CHARSET;
  ::lstrcpynW(font.lfFaceName, L"微软雅黑", LF_FACESIZE);
  return font;
}

SharedNoteResources* EnsureSharedNoteResources(ProgramContext& context) {
  SharedNoteResources& shared = context.shared;
  if (shared.ready) return &shared;
  const HINSTANCE instance = context.Instance();
  WNDCLASSEXW c{};
  c.cbSize = sizeof c;
  c.style = CS_HREDRAW | CS_VREDRAW;
  c.lpfnWndProc = &KIzMTk::WindowProcedure;
  c.hInstance = instance;
  c.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  c.lpszClassName = kNoteWindowClass;
  if (!::RegisterClassExW(&c) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return nullptr;

  if (HMODULE user32 = ::GetModuleHandleW(L"user32.dll"))
    shared.setLayeredWindowAttributes =
        reinterpret_cast<SetLayeredWindowAttributesFn>(
            reinterpret_cast<void (*)()>(::GetProcAddress(user32, "SetLayeredWindowAttributes")));
  const LOGFONTW font = DefaultNoteLogFont();
  shared.defaultFont.reset(::CreateFontIndirectW(&font));
  shared.buttonStripBitmap.reset(static_cast<HBITMAP>(
      ::LoadImageW(instance, MAKEINTRESOURCEW(kButtonStripResource), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
  if (shared.buttonStrip.Create()) shared.buttonStrip.SelectBitmap(shared.buttonStripBitmap.get());
  shared.builtinIcons = std::make_unique<BuiltinIcons>(instance);
  shared.ready = true;
  return &shared;
}

void SetWindowAlpha(const ProgramContext& context, HWND window, int alpha) {
  const SharedNoteResources& shared = context.shared;
  if (!shared.setLayeredWindowAttributes) return;
  shared.setLayeredWindowAttributes(window, 0, static_cast<BYTE>(alpha), LWA_ALPHA);
}

}  // namespace vellumo::notes
