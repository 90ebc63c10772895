// MainWindow: the frame of the management window, owner of the tray icon,
// the menu bar and the 40 ms timer.  The procedure only dispatches.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <vector>

#include "model/notes.h"
#include "model/popup_options.h"
#include "notes/note_window.h"
#include "resources/resource.h"
#include "shell/app.h"
#include "shell/hotkey_table.h"
#include "shell/main_window.h"
#include "shell/management_dialog.h"

namespace vellumo::shell {

namespace {

constexpr UINT_PTR kShellTimer = 0;

// For start-up measurements: the milliseconds from process creation to the
// first tick go to the file VELLUMO_FIRST_TICK_FILE names, when it is set.
void ReportFirstTick() {
  wchar_t path[MAX_PATH] = {};
  if (::GetEnvironmentVariableW(L"VELLUMO_FIRST_TICK_FILE", path, MAX_PATH) == 0) return;
  FILETIME created, exited, kernel, user, now;
  if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user)) return;
  ::GetSystemTimeAsFileTime(&now);
  auto value = [](const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
  char text[32];
  const int length = std::snprintf(text, sizeof text, "%llu\n", (value(now) - value(created)) / 10000);
  const platform::KernelHandle file(
      ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  DWORD written = 0;
  ::WriteFile(file.get(), text, static_cast<DWORD>(length), &written, nullptr);
}

void CALLBACK ShellTick(HWND window, UINT, UINT_PTR, DWORD now) noexcept {
  if (MainWindow* self = MainWindow::FromWindow(window)) self->Tick(now);
}

constexpr wchar_t kBackUpQuestion[] =
    L"备份（*.bak）最多保留10个（份），多出的文件将按文件修改时间自动删除，如果需要保留更多的备份文件，"
    L"请手动把备份文件重命名为非bak扩展名或移至其他目录。是否立即备份？";
constexpr wchar_t kCompactQuestion[] =
    L"整理数据库流程：1.会自动进行一次备份；2.会自动退出程序(退出前会自动把数据库整理至临时文件)；"
    L"3.手动启动程序(启动后会自动将临时文件改名为正式库文件)。是否继续？";

int Ask(App& app, HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
  ModalScope modal(app);
  return ::MessageBoxW(owner, text, caption, type);
}

void BrowseWorkingDirectory() {
  wchar_t directory[1025] = {};
  ::GetCurrentDirectoryW(1024, directory);
  ::ShellExecuteW(nullptr, nullptr, directory, nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace

void MainWindow::Tick(DWORD now) {
  if (!ticked_) {
    ticked_ = true;
    ReportFirstTick();
  }
  notes::ProgramContext& context = app_.context;
  context.interfaceClock = now;
  app_.actionQueue.StepActions();
  notes::ReapClosedWindows(context);
  SampleTriggers(app_, now);
  // Housekeeping waits for the database: a tick that fires inside a message
  // box of start-up must not use up the first release and backup check.
  if (!app_.database) return;
  const HousekeepingDue due = app_.housekeeping.Step(now);
  if (due.releaseViews) app_.database->ReleaseViews();
  if (due.backupCheck)
    (void)RunBackup(*app_.database, BackupMode::Automatic, ProgramDatabaseNaming(), app_.messages, UnixTimeMs());
}

void MainWindow::SetNoActivate(bool on) {
  LONG_PTR style = ::GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
  style = on ? (style | WS_EX_NOACTIVATE) : (style & ~static_cast<LONG_PTR>(WS_EX_NOACTIVATE));
  ::SetWindowLongPtrW(hwnd, GWL_EXSTYLE, style);
}

void MainWindow::TogglePause() {
  app_.mousePopupPaused = !app_.mousePopupPaused;
  const bool paused = app_.mousePopupPaused;
  TraySetIcon(app_, ::LoadIconW(app_.context.Instance(), MAKEINTRESOURCEW(paused ? IDI_TRAY_PAUSED : IDI_TRAY)));
  ::CheckMenuItem(app_.trayMenu, IDM_PAUSE_TRAY, MF_BYCOMMAND | (paused ? MF_CHECKED : MF_UNCHECKED));
  HMENU bar = ::GetMenu(hwnd);
  ::ModifyMenuW(bar, IDM_PAUSE_BAR, MF_BYCOMMAND | MF_STRING, IDM_PAUSE_BAR, paused ? L"恢复(&U)" : L"暂停(&P)");
  ::DrawMenuBar(hwnd);
}

void MainWindow::ShowPopupOptions() {
  const notes::ProgramContext& context = app_.context;
  HMENU bar = ::GetMenu(hwnd);
  ::CheckMenuItem(bar, IDM_POPUP_EVERY_MONITOR, MF_BYCOMMAND | (context.everyMonitor ? MF_CHECKED : MF_UNCHECKED));
  ::CheckMenuItem(bar, IDM_POPUP_QUIET_FULL_SCREEN,
                  MF_BYCOMMAND | (context.quietOverFullScreen ? MF_CHECKED : MF_UNCHECKED));
}

void MainWindow::TogglePopupOption(WORD id) {
  notes::ProgramContext& context = app_.context;
  if (id == IDM_POPUP_EVERY_MONITOR) context.everyMonitor = !context.everyMonitor;
  if (id == IDM_POPUP_QUIET_FULL_SCREEN) context.quietOverFullScreen = !context.quietOverFullScreen;
  if (app_.database) (void)model::StorePopupOptions(*app_.database, {context.everyMonitor, context.quietOverFullScreen});
  ShowPopupOptions();
  RefreshTriggerMonitors(app_);
}

void MainWindow::BackUpNow() {
  if (!app_.database) return;
  if (Ask(app_, hwnd, kBackUpQuestion, L"备份数据库", MB_ICONQUESTION | MB_OKCANCEL) == IDCANCEL) return;
  (void)RunBackup(*app_.database, BackupMode::Manual, ProgramDatabaseNaming(), app_.messages, UnixTimeMs());
}

void MainWindow::CompactNow() {
  if (!app_.database) return;
  if (Ask(app_, hwnd, kCompactQuestion, L"整理数据库", MB_ICONQUESTION | MB_OKCANCEL) == IDCANCEL) return;
  (void)Ask(app_, hwnd, L"如无异常，程序将自动退出，然后请手动启动程序。", L"提示", MB_OK);
  App& app = app_;
  (void)CompactDatabase(*app_.database, ProgramDatabaseNaming(), app_.messages, UnixTimeMs(), [&app] {
    TrayRemove(app);
    ::ExitProcess(0);
  });
  (void)Ask(app_, hwnd, Wide(kCompactionFailedText).c_str(), L"错误", MB_OK);
}

void MainWindow::BrowseBackups() {
  const std::wstring directory = StoredBackupDirectoryText(app_.database.get());
  if (directory.empty()) {
    (void)Ask(app_, hwnd, L"没有设置备份目录，可以在维护菜单里面设置。", L"提示", MB_OK);
    return;
  }
  ::ShellExecuteW(nullptr, nullptr, directory.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

bool MainWindow::OnCommand(WORD id, LPARAM lParam) {
  switch (id) {
    case IDM_PASSWORD:
      OpenPasswordDialog(app_, reinterpret_cast<HWND>(lParam));
      return true;
    case IDM_SERVER_ADDRESS:
      ShowServerAddressDialog(app_, hwnd);
      return true;
    case IDM_NEW_NOTE:
    case IDM_OPEN_NOTE:
    case IDM_DELETE_NOTE:
    case IDM_CLEAR_NOTE:
    case IDM_CLEAR_ICON_CACHE:
      if (HWND dialog = app_.ManagementDialogHandle()) ::PostMessageW(dialog, WM_COMMAND, id, 0);
      return true;
    case IDM_PAUSE_TRAY:
    case IDM_PAUSE_BAR:
      TogglePause();
      return true;
    case IDM_BACKUP:
      BackUpNow();
      return true;
    case IDM_COMPACT:
      CompactNow();
      return true;
    case IDM_BACKUP_DIRECTORY:
      ShowBackupDirectoryDialog(app_, hwnd);
      return true;
    case IDM_BROWSE_BACKUPS:
      BrowseBackups();
      return true;
    case IDM_BROWSE_WORKING:
      BrowseWorkingDirectory();
      return true;
    case IDM_ABOUT:
      ShowAboutDialog(app_, hwnd);
      return true;
    case IDM_HOTKEYS:
      ShowHotkeyDialog(app_, hwnd);
      return true;
    case IDM_POPUP_EVERY_MONITOR:
    case IDM_POPUP_QUIET_FULL_SCREEN:
      TogglePopupOption(id);
      return true;
    case IDM_EXIT:
    case IDM_EXIT_TRAY:
      RequestExit(app_);
      return true;
    default:
      return false;
  }
}

void MainWindow::OnHotkey(int id) {
  switch (id) {
    case ManagementHotkeyId(1):
      ToggleManagementWindow(app_, 0);
      break;
    case ManagementHotkeyId(2):
      ::PostMessageW(hwnd, WM_COMMAND, IDM_PAUSE_BAR, 0);
      break;
    case ManagementHotkeyId(3):
      if (app_.database) app_.hotkeys.ToggleNoteHotkeys(hwnd, *app_.database);
      break;
    default:
      (void)notes::OpenNoteWindow(app_.context, static_cast<std::uint32_t>(id));
      break;
  }
}

void MainWindow::OnDestroy() {
  notes::ProgramContext& context = app_.context;
  if (app_.database) app_.hotkeys.SetNoteHotkeys(hwnd, *app_.database, false);
  app_.editors.CloseAll();
  if (HWND password = app_.PasswordDialogHandle()) ::DestroyWindow(password);
  DisableDropping(app_);
  notes::CloseAllNoteWindows(context);
  context.tooltip.Destroy();
  TrayRemove(app_);
  app_.later->StopSync();
  context.protection = nullptr;
  context.items = nullptr;
  context.database = nullptr;
  app_.itemOperations.reset();
  app_.protection.reset();
  app_.database.reset();  // closes the files and stamps their times
  context.mainWindow = nullptr;
  ::PostQuitMessage(0);
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  notes::ProgramContext& context = app_.context;
  switch (message) {
    case WM_CREATE:
      context.mainWindow = hwnd;
      ::SetTimer(hwnd, kShellTimer, 40, &ShellTick);
      return 0;
    case WM_DESTROY:
      OnDestroy();
      return 0;
    case WM_SIZE:
      if (HWND dialog = app_.ManagementDialogHandle())
        ::SetWindowPos(dialog, nullptr, 0, 0, LOWORD(lParam), HIWORD(lParam), SWP_NOZORDER);
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        app_.lastDeactivation = ::GetTickCount();
        app_.savedFocus = ::GetFocus();
      } else if (LOWORD(wParam) == WA_ACTIVE && app_.savedFocus) {
        ::SetFocus(app_.savedFocus);
      }
      return 0;
    case WM_MOUSEACTIVATE:
      ::SetForegroundWindow(hwnd);
      return 0;
    case WM_DISPLAYCHANGE:
      context.screenWidth = LOWORD(lParam) - 2;
      context.screenHeight = HIWORD(lParam) - 2;
      RefreshTriggerMonitors(app_);
      return 0;
    case WM_NCLBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
      if (::GetForegroundWindow() != hwnd) ::SetForegroundWindow(hwnd);
      break;
    case WM_COMMAND:
      if (OnCommand(LOWORD(wParam), lParam)) return 0;
      break;
    case WM_TIMER:
      return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_MINIMIZE) {
        const LRESULT result = ::DefWindowProcW(hwnd, message, wParam, lParam);
        SetNoActivate(false);
        ::ShowWindow(hwnd, SW_HIDE);
        return result;
      }
      if ((wParam & 0xFFF0) == SC_CLOSE) {
        ::PostMessageW(hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        return 0;
      }
      break;
    case WM_SECOND_INSTANCE:
      ToggleManagementWindow(app_, 0);
      return 0;
    case WM_NOTE_CHANGED_ELSEWHERE:
      notes::NotifyNoteChanged(context, static_cast<std::uint32_t>(wParam));
      return 0;
    case WM_HOTKEY:
      OnHotkey(static_cast<int>(wParam));
      return 0;
    case WM_OPEN_ITEM_EDITOR:
      app_.editors.Open(context, app_.insertMenu, static_cast<std::uint32_t>(wParam),
                        static_cast<std::uint32_t>(lParam & 0xFFFFFFFF), (lParam & kNewEditorFlag) != 0);
      return 0;
    case WM_TRAY_NOTIFY:
      if (lParam == WM_LBUTTONUP) {
        ToggleManagementWindow(app_, 0);
      } else if (lParam == WM_RBUTTONUP) {
        POINT at;
        ::GetCursorPos(&at);
        ::SetForegroundWindow(hwnd);
        ModalScope modal(app_);
        ::TrackPopupMenu(app_.trayMenu, 0, at.x, at.y, 0, hwnd, nullptr);
      }
      return 0;
    default:
      if (message == app_.taskbarCreated && message != 0) {
        TrayAdd(app_, ::LoadIconW(context.Instance(), MAKEINTRESOURCEW(IDI_TRAY)));
        return 0;
      }
      break;
  }
  return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

bool RegisterMainWindowClass(App& app) {
  const HINSTANCE instance = app.context.Instance();
  WNDCLASSEXW c{};
  c.cbSize = sizeof c;
  c.style = CS_HREDRAW | CS_VREDRAW;
  c.lpfnWndProc = &MainWindow::WindowProcedure;
  c.hInstance = instance;
  c.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(IDI_VELLUMO));
  c.hIconSm = ::LoadIconW(instance, MAKEINTRESOURCEW(IDI_TRAY));
  c.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  c.lpszMenuName = MAKEINTRESOURCEW(IDM_MAIN);
  c.lpszClassName = app.windowClass.c_str();
  // The drag cursor comes with the class; cursor resources live as long as
  // the module.
  app.context.dragCursor = ::LoadCursorW(instance, MAKEINTRESOURCEW(IDC_DRAG_CURSOR));
  return ::RegisterClassExW(&c) != 0;
}

HWND CreateMainWindow(App& app) {
  app.mainWindow = std::make_unique<MainWindow>(app);
  ::CreateWindowExW(0, app.windowClass.c_str(), L"Vellumo - 管理窗口", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, ::GetDesktopWindow(), nullptr,
                    app.context.Instance(), app.mainWindow.get());
  return app.context.mainWindow;
}

void RequestExit(App& app) {
  HWND w = app.MainWindowHandle();
  if (!w) return;
  if (app.modalDepth > 0) {
    // A modal loop runs inside this window's procedure: destroying the
    // window and the database now would pull them from under it.
    app.exitPending = true;
    if (app.aboutDialog) ::PostMessageW(app.aboutDialog, WM_COMMAND, IDCANCEL, 0);
    return;
  }
  // An editor's unsaved changes are not lost without asking.
  if (!app.editors.CloseAllAsking()) return;
  LONG_PTR style = ::GetWindowLongPtrW(w, GWL_EXSTYLE);
  ::SetWindowLongPtrW(w, GWL_EXSTYLE, style & ~static_cast<LONG_PTR>(WS_EX_NOACTIVATE));
  ::DestroyWindow(w);
}

void ToggleManagementWindow(App& app, std::uint32_t note) {
  HWND w = app.MainWindowHandle();
  HWND dialog = app.ManagementDialogHandle();
  if (!w) return;
  if (::IsWindowVisible(w)) {
    if (note == 0 && (::GetForegroundWindow() == w || ::GetTickCount() - app.lastDeactivation <= 600)) {
      ::PostMessageW(w, WM_SYSCOMMAND, SC_MINIMIZE, 0);
      if (dialog) ::PostMessageW(dialog, WM_MGMT_FOCUS_FILTER, 0, 0);
      return;
    }
    ::SetForegroundWindow(w);
  } else {
    ::ShowWindow(w, SW_SHOWNORMAL);
    ::SetForegroundWindow(w);
    LONG_PTR style = ::GetWindowLongPtrW(w, GWL_EXSTYLE);
    ::SetWindowLongPtrW(w, GWL_EXSTYLE, style | WS_EX_NOACTIVATE);
  }
  if (dialog) {
    if (note != 0) ::PostMessageW(dialog, WM_MGMT_SELECT_NOTE, note, 2);
    ::PostMessageW(dialog, WM_MGMT_FOCUS_FILTER, 0, 0);
  }
}

}  // namespace vellumo::shell
