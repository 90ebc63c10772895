#include "notes/note_shared.h"

#include "notes/note_host.h"
#include "notes/note_window.h"

namespace vellumo::notes {

namespace {

SharedNoteResources& Shared() {
  static SharedNoteResources shared;
  return shared;
}

}  // namespace

SharedNoteResources* EnsureSharedNoteResources() {
  SharedNoteResources& shared = Shared();
  if (shared.ready) return &shared;
  HINSTANCE instance = Host().instance ? Host().instance : ::GetModuleHandleW(nullptr);
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
  LOGFONTW font{};
  font.lfHeight = 18;
  font.lfCharSet = DEFAULT_CHARSET;
  ::lstrcpynW(font.lfFaceName, L"微软雅黑", LF_FACESIZE);
  shared.defaultFont.reset(::CreateFontIndirectW(&font));
  shared.buttonStripBitmap.reset(static_cast<HBITMAP>(
      ::LoadImageW(instance, MAKEINTRESOURCEW(kButtonStripResource), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
  if (shared.buttonStrip.Create() && shared.buttonStripBitmap)
    ::SelectObject(shared.buttonStrip.dc(), shared.buttonStripBitmap.get());
  shared.ready = true;
  return &shared;
}

void SetWindowAlpha(HWND window, int alpha) {
  const SharedNoteResources& shared = Shared();
  if (!shared.setLayeredWindowAttributes) return;
  shared.setLayeredWindowAttributes(window, 0, static_cast<BYTE>(alpha), LWA_ALPHA);
}

}  // namespace vellumo::notes
