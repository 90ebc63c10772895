// Entry point: one instance per program file, then the one message loop.
#include <windows.h>
#include <ole2.h>

#include "resources/resource.h"
#include "shell/app.h"
#include "store/database_path.h"

using namespace vellumo;
using namespace vellumo::shell;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  App& app = TheApp();
  if (commandLine && *commandLine) {
    wchar_t name[128] = {};
    ::MultiByteToWideChar(CP_ACP, 0, commandLine, -1, name, 127);
    name[127] = 0;
    SetDatabaseBaseNameOverride(std::u16string(reinterpret_cast<const char16_t*>(name)));
  }
  wchar_t text[101] = {};
  ::LoadStringW(instance, IDS_PRODUCT_TITLE, text, 101);
  app.productTitle = text;
  ::LoadStringW(instance, IDS_WINDOW_CLASS, text, 101);
  app.windowClass = text;
  app.trayMenuBar = ::LoadMenuW(instance, MAKEINTRESOURCEW(IDM_TRAY));
  app.trayMenu = ::GetSubMenu(app.trayMenuBar, 0);

  if (!Initialise(instance)) return 0;
  if (FAILED(::OleInitialize(nullptr))) return 0;
  ::RegisterClipboardFormatW(L"Shell IDList Array");
  ::RegisterClipboardFormatW(L"FileGroupDescriptorW");
  ::RegisterClipboardFormatW(L"UniformResourceLocatorW");
  app.accelerators = ::LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDA_MAIN));

  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (app.managementDialog && ::IsDialogMessageW(app.managementDialog, &message)) continue;
    if (app.accelerators && ::TranslateAcceleratorW(message.hwnd, app.accelerators, &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  ::OleUninitialize();
  return static_cast<int>(message.wParam);
}
