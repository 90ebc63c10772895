// Entry point: one instance per program file, then the one message loop.
#include <windows.h>
#include <ole2.h>

#include "shell/app.h"
#include "shell/command_line.h"
#include "store/database_path.h"

using namespace vellumo;
using namespace vellumo::shell;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // The name comes from the UTF-16 command line: the ANSI one has already
  // lost every character outside the code page.
  const wchar_t* commandLine = ::GetCommandLineW();
  const std::u16string name = DatabaseNameFromCommandLine(
      commandLine ? std::u16string_view(reinterpret_cast<const char16_t*>(commandLine)) : std::u16string_view());
  if (!name.empty()) SetDatabaseBaseNameOverride(name);

  App app;
  LoadResources(app, instance);
  if (!Initialise(app, instance)) return 0;
  if (FAILED(::OleInitialize(nullptr))) return 0;
  ::RegisterClipboardFormatW(L"Shell IDList Array");
  ::RegisterClipboardFormatW(L"FileGroupDescriptorW");
  ::RegisterClipboardFormatW(L"UniformResourceLocatorW");
  EnableDropping(app);

  MSG message{};
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (PreTranslate(app, message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  ::OleUninitialize();
  return static_cast<int>(message.wParam);
}
