#include "shell/app.h"
#include "shell/sync_engine.h"

#include <commctrl.h>

#include "actions/launch.h"
#include "model/popup_options.h"
#include "notes/note_window.h"
#include "resources/resource.h"
#include "shell/main_window.h"
#include "shell/management_dialog.h"
#include "shell/password_dialog.h"
#include "store/database_path.h"

namespace vellumo::shell {

App::App() {
  auto engine = std::make_unique<SyncEngine>(*this);
  syncHooks = engine.get();
  later = std::move(engine);
}

App::~App() {
  // The worker writes items: it ends before anything it uses.
  later->StopSync();
  // The windows go before the database they show.
  editors.CloseAll();
  notes::CloseAllNoteWindows(context);
  context.tooltip.Destroy();
  if (context.mainWindow) ::DestroyWindow(context.mainWindow);
}

void EnableDropping(App& app) {
  notes::ProgramContext& context = app.context;
  if (app.dropTarget) return;
  app.dropTarget = std::make_unique<notes::CDropTarget>(
      context, [&app](std::u16string_view runText) { actions::RunTarget(app.actionQueue, runText); });
  context.dropTarget = app.dropTarget.get();
  if (context.mainWindow) ::RegisterDragDrop(context.mainWindow, context.dropTarget);
  for (const auto& window : context.noteWindows.Windows())
    if (window->hwnd) ::RegisterDragDrop(window->hwnd, context.dropTarget);
}

void DisableDropping(App& app) {
  notes::ProgramContext& context = app.context;
  if (!context.dropTarget) return;
  if (context.mainWindow) ::RevokeDragDrop(context.mainWindow);
  for (const auto& window : context.noteWindows.Windows())
    if (window->hwnd) ::RevokeDragDrop(window->hwnd);
  context.dropTarget = nullptr;
}

HWND App::PasswordDialogHandle() const { return passwordDialog ? passwordDialog->hwnd : nullptr; }

ModalScope::ModalScope(App& app) : app_(app) { ++app_.modalDepth; }

ModalScope::~ModalScope() {
  if (--app_.modalDepth == 0 && app_.exitPending) {
    app_.exitPending = false;
    if (HWND w = app_.MainWindowHandle()) ::PostMessageW(w, WM_COMMAND, IDM_EXIT, 0);
  }
}

std::wstring Wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

void MessageBoxes::Show(std::u16string_view text, std::u16string_view caption) {
  if (!app_.context.OnInterfaceThread()) {
    // Another thread has its own message loop for the box and no business
    // with the interface thread's modal count.
    ::MessageBoxW(nullptr, Wide(text).c_str(), Wide(caption).c_str(), MB_OK);
    return;
  }
  ModalScope modal(app_);
  ::MessageBoxW(app_.MainWindowHandle(), Wide(text).c_str(), Wide(caption).c_str(), MB_OK);
}

void LoadResources(App& app, HINSTANCE instance) {
  app.context.instance = instance;
  wchar_t text[101] = {};
  ::LoadStringW(instance, IDS_PRODUCT_TITLE, text, 101);
  app.productTitle = text;
  ::LoadStringW(instance, IDS_WINDOW_CLASS, text, 101);
  app.windowClass = text;
  app.trayMenuBar.reset(::LoadMenuW(instance, MAKEINTRESOURCEW(IDM_TRAY)));
  app.trayMenu = app.trayMenuBar ? ::GetSubMenu(app.trayMenuBar.get(), 0) : nullptr;
  app.insertMenuBar.reset(::LoadMenuW(instance, MAKEINTRESOURCEW(IDM_INSERT)));
  app.insertMenu = app.insertMenuBar ? ::GetSubMenu(app.insertMenuBar.get(), 0) : nullptr;
  app.accelerators = ::LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDA_MAIN));
}

bool PreTranslate(App& app, MSG& message) {
  if (app.editors.PreTranslate(message)) return true;
  if (HWND dialog = app.ManagementDialogHandle(); dialog && ::IsDialogMessageW(dialog, &message)) return true;
  if (HWND dialog = app.PasswordDialogHandle(); dialog && ::IsDialogMessageW(dialog, &message)) return true;
  if (HWND page = app.currentSettingsPage; page && ::IsWindow(page) && ::IsDialogMessageW(page, &message))
    return true;
  return app.accelerators && ::TranslateAcceleratorW(message.hwnd, app.accelerators, &message);
}

bool Initialise(App& app, HINSTANCE instance) {
  notes::ProgramContext& context = app.context;
  context.instance = instance;
  context.commands = &app.noteCommands;
  context.messages = &app.messages;

  // One instance per program file: the mutex and the window class are both
  // named after the program's path.
  wchar_t path[256] = {};
  ::GetModuleFileNameW(nullptr, path, 256);
  for (int i = static_cast<int>(::wcslen(path)) - 1; i >= 1; --i)
    if (path[i] == L'\\') path[i] = L'/';
  app.windowClass += path;
  app.instanceMutex.reset(::CreateMutexW(nullptr, FALSE, path));
  if (::GetLastError() == ERROR_ALREADY_EXISTS) {
    for (HWND w = nullptr; (w = ::FindWindowExW(nullptr, w, app.windowClass.c_str(), nullptr)) != nullptr;)
      ::PostMessageW(w, WM_SECOND_INSTANCE, 0, 0);
    return false;
  }

  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_USEREX_CLASSES | ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES};
  ::InitCommonControlsEx(&controls);
  app.taskbarCreated = ::RegisterWindowMessageW(L"TaskbarCreated");
  if (!RegisterMainWindowClass(app)) return false;
  if (!CreateMainWindow(app)) return false;

  const DatabaseNaming naming = ProgramDatabaseNaming();
  (void)InstallCompactedDatabase(naming, app.messages);
  app.database = std::make_unique<Ku>();
  (void)app.database->Open(1, u"");
  if (app.database->IsBroken()) {
    ModalScope modal(app);
    ::MessageBoxW(context.mainWindow, L"数据库错误!", L"错误", MB_OK);
    app.database.reset();
    return false;
  }
  context.database = app.database.get();
  app.protection = std::make_unique<protect::ContentProtection>(*app.database);
  (void)app.protection->UnlockAtStart();
  context.protection = app.protection.get();
  app.itemOperations = std::make_unique<model::ItemOperations>(*app.database, app.messages, *app.syncHooks,
                                                               context.appMutex);
  context.items = app.itemOperations.get();
  const model::PopupOptions popup = model::LoadPopupOptions(*app.database);
  context.everyMonitor = popup.everyMonitor;
  context.quietOverFullScreen = popup.quietOverFullScreen;
  app.mainWindow->ShowPopupOptions();

  if (HWND dialog = CreateManagementDialog(app, context.mainWindow)) {
    // The frame's client area is exactly the dialog.
    RECT box, frame, client;
    ::GetWindowRect(dialog, &box);
    ::GetWindowRect(context.mainWindow, &frame);
    ::GetClientRect(context.mainWindow, &client);
    const int width = (frame.right - frame.left) - client.right + (box.right - box.left);
    const int height = (frame.bottom - frame.top) - client.bottom + (box.bottom - box.top);
    ::SetWindowPos(context.mainWindow, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
  }
  RECT work, frame;
  ::GetWindowRect(::GetDesktopWindow(), &work);
  ::GetWindowRect(context.mainWindow, &frame);
  ::SetWindowPos(context.mainWindow, nullptr, (work.right - (frame.right - frame.left)) / 2,
                 (work.bottom - (frame.bottom - frame.top)) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);

  TrayAdd(app, ::LoadIconW(instance, MAKEINTRESOURCEW(IDI_TRAY)));
  ::UpdateWindow(context.mainWindow);
  ::SetWindowPos(context.mainWindow, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  (void)context.tooltip.Create(instance);
  context.interfaceClock = ::GetTickCount();
  context.screenWidth = ::GetSystemMetrics(SM_CXSCREEN) - 2;
  context.screenHeight = ::GetSystemMetrics(SM_CYSCREEN) - 2;
  RefreshTriggerMonitors(app);
  const std::wstring hotkeyFailures = app.hotkeys.RegisterManagementHotkeys(context.mainWindow, *app.database);
  if (!hotkeyFailures.empty()) {
    ModalScope modal(app);
    ::MessageBoxW(context.mainWindow, hotkeyFailures.substr(0, 1024).c_str(), L"Vellumo", MB_ICONINFORMATION);
  }
  app.hotkeys.SetNoteHotkeys(context.mainWindow, *app.database, true);
  app.later->StartSync();
  return true;
}

}  // namespace vellumo::shell
