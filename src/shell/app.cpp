#include "shell/app.h"

#include <commctrl.h>

#include "notes/item_tooltip.h"
#include "notes/note_host.h"
#include "notes/note_window.h"
#include "notes/trigger_notes.h"
#include "resources/resource.h"
#include "store/database_path.h"

namespace vellumo::shell {

App& TheApp() {
  static App app;
  return app;
}

void ShellActionPerformer::OpenNotesForTrigger(std::uint32_t triggerCode) {
  App& app = TheApp();
  if (!app.database) return;
  auto held = [](int key) { return (::GetAsyncKeyState(key) & 0x8000) != 0; };
  const notes::HeldModifiers modifiers{held(VK_SHIFT), held(VK_CONTROL), held(VK_MENU)};
  for (const std::uint32_t note : notes::NotesOpenedBy(*app.database, triggerCode, modifiers))
    (void)notes::OpenNoteWindow(note);
}

std::wstring Wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

void MessageBoxes::Show(std::u16string_view text, std::u16string_view caption) {
  ::MessageBoxW(TheApp().mainWindow, Wide(text).c_str(), Wide(caption).c_str(), MB_OK);
}

bool Initialise(HINSTANCE instance) {
  App& app = TheApp();
  app.instance = instance;

  // One instance per program file: the mutex and the window class are both
  // named after the program's path.
  wchar_t path[256] = {};
  ::GetModuleFileNameW(nullptr, path, 256);
  for (int i = static_cast<int>(::wcslen(path)) - 1; i >= 1; --i)
    if (path[i] == L'\\') path[i] = L'/';
  app.windowClass += path;
  app.instanceMutex = ::CreateMutexW(nullptr, FALSE, path);
  if (::GetLastError() == ERROR_ALREADY_EXISTS) {
    for (HWND w = nullptr; (w = ::FindWindowExW(nullptr, w, app.windowClass.c_str(), nullptr)) != nullptr;)
      ::PostMessageW(w, WM_SECOND_INSTANCE, 0, 0);
    return false;
  }

  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_USEREX_CLASSES | ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES};
  ::InitCommonControlsEx(&controls);
  app.taskbarCreated = ::RegisterWindowMessageW(L"TaskbarCreated");
  if (!RegisterMainWindowClass()) return false;
  app.mainWindow = CreateMainWindow();
  if (!app.mainWindow) return false;

  const DatabaseNaming naming = ProgramDatabaseNaming();
  (void)InstallCompactedDatabase(naming, app.messages);
  app.database = std::make_unique<Ku>();
  (void)app.database->Open(1, u"");
  if (app.database->IsBroken()) {
    ::MessageBoxW(app.mainWindow, L"数据库错误!", L"错误", MB_OK);
    app.database.reset();
    return false;
  }
  app.protection = std::make_unique<protect::ContentProtection>(*app.database);
  (void)app.protection->UnlockContent();

  app.managementDialog = CreateManagementDialog(app.mainWindow);
  if (app.managementDialog) {
    // The frame's client area is exactly the dialog.
    RECT dialog, frame, client;
    ::GetWindowRect(app.managementDialog, &dialog);
    ::GetWindowRect(app.mainWindow, &frame);
    ::GetClientRect(app.mainWindow, &client);
    const int width = (frame.right - frame.left) - client.right + (dialog.right - dialog.left);
    const int height = (frame.bottom - frame.top) - client.bottom + (dialog.bottom - dialog.top);
    ::SetWindowPos(app.mainWindow, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
  }
  RECT work, frame;
  ::GetWindowRect(::GetDesktopWindow(), &work);
  ::GetWindowRect(app.mainWindow, &frame);
  ::SetWindowPos(app.mainWindow, nullptr, (work.right - (frame.right - frame.left)) / 2,
                 (work.bottom - (frame.bottom - frame.top)) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);

  TrayAdd(::LoadIconW(instance, MAKEINTRESOURCEW(IDI_TRAY)));
  ::UpdateWindow(app.mainWindow);
  ::SetWindowPos(app.mainWindow, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  (void)notes::CreateItemTooltip(instance);
  notes::NoteHost& host = notes::Host();
  host.instance = instance;
  host.database = app.database.get();
  host.protection = app.protection.get();
  host.appMutex = &app.appMutex;
  host.mainWindow = app.mainWindow;
  host.managementDialog = app.managementDialog;
  host.interfaceClock = ::GetTickCount();
  host.screenWidth = ::GetSystemMetrics(SM_CXSCREEN) - 2;
  host.screenHeight = ::GetSystemMetrics(SM_CYSCREEN) - 2;
  const std::wstring hotkeyFailures = app.later->RegisterManagementHotkeys(app.mainWindow);
  if (!hotkeyFailures.empty())
    ::MessageBoxW(app.mainWindow, hotkeyFailures.substr(0, 1024).c_str(), L"Vellumo", MB_ICONINFORMATION);
  app.later->SetNoteHotkeys(app.mainWindow, true);
  app.later->StartSync();
  return true;
}

}  // namespace vellumo::shell
