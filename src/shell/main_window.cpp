// MainWindow: the frame of the management window, owner of the tray icon,
// the menu bar and the 40 ms timer.  The procedure only dispatches.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <vector>

#include "model/notes.h"
#include "notes/item_tooltip.h"
#include "notes/note_host.h"
#include "notes/note_window.h"
#include "resources/resource.h"
#include "shell/app.h"

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
  HANDLE file = ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  ::WriteFile(file, text, static_cast<DWORD>(length), &written, nullptr);
  ::CloseHandle(file);
}

void CALLBACK ShellTick(HWND, UINT, UINT_PTR, DWORD now) noexcept {
  App& app = TheApp();
  static bool first = true;
  if (first) {
    first = false;
    ReportFirstTick();
  }
  notes::Host().interfaceClock = now;
  app.actionQueue.StepActions();
  notes::ReapClosedWindows();
  const HousekeepingDue due = app.housekeeping.Step(now);
  if (!app.database) return;
  if (due.releaseViews) app.database->ReleaseViews();
  if (due.backupCheck)
    (void)RunBackup(*app.database, BackupMode::Automatic, ProgramDatabaseNaming(), app.messages, UnixTimeMs());
}

void SetNoActivate(bool on) {
  HWND w = TheApp().mainWindow;
  LONG_PTR style = ::GetWindowLongPtrW(w, GWL_EXSTYLE);
  style = on ? (style | WS_EX_NOACTIVATE) : (style & ~static_cast<LONG_PTR>(WS_EX_NOACTIVATE));
  ::SetWindowLongPtrW(w, GWL_EXSTYLE, style);
}

void TogglePause() {
  App& app = TheApp();
  app.mousePopupPaused = !app.mousePopupPaused;
  TraySetIcon(::LoadIconW(app.instance, MAKEINTRESOURCEW(app.mousePopupPaused ? IDI_TRAY_PAUSED : IDI_TRAY)));
  ::CheckMenuItem(app.trayMenu, IDM_PAUSE_TRAY, MF_BYCOMMAND | (app.mousePopupPaused ? MF_CHECKED : MF_UNCHECKED));
  HMENU bar = ::GetMenu(app.mainWindow);
  ::ModifyMenuW(bar, IDM_PAUSE_BAR, MF_BYCOMMAND | MF_STRING, IDM_PAUSE_BAR,
                app.mousePopupPaused ? L"恢复(&U)" : L"暂停(&P)");
  ::DrawMenuBar(app.mainWindow);
}

void BackUpNow(HWND window) {
  App& app = TheApp();
  if (::MessageBoxW(window,
                    L"备份（*.bak）最多保留10个（份），多出的文件将按文件修改时间自动删除，如果需要保留更多的备份文件，"
                    L"请手动把备份文件重命名为非bak扩展名或移至其他目录。是否立即备份？",
                    L"备份数据库", MB_ICONQUESTION | MB_OKCANCEL) == IDCANCEL)
    return;
  (void)RunBackup(*app.database, BackupMode::Manual, ProgramDatabaseNaming(), app.messages, UnixTimeMs());
}

void CompactNow(HWND window) {
  App& app = TheApp();
  if (::MessageBoxW(window,
                    L"整理数据库流程：1.会自动进行一次备份；2.会自动退出程序(退出前会自动把数据库整理至临时文件)；"
                    L"3.手动启动程序(启动后会自动将临时文件改名为正式库文件)。是否继续？",
                    L"整理数据库", MB_ICONQUESTION | MB_OKCANCEL) == IDCANCEL)
    return;
  ::MessageBoxW(window, L"如无异常，程序将自动退出，然后请手动启动程序。", L"提示", MB_OK);
  (void)CompactDatabase(*app.database, ProgramDatabaseNaming(), app.messages, UnixTimeMs(), [] {
    TrayRemove();
    ::ExitProcess(0);
  });
  ::MessageBoxW(window, Wide(kCompactionFailedText).c_str(), L"错误", MB_OK);
}

void BrowseBackups(HWND window) {
  App& app = TheApp();
  std::vector<std::uint8_t> value;
  const std::uint8_t key[] = {0x08, 0x02};
  (void)app.database->GetValue(key, &value);
  std::wstring directory;
  for (std::size_t i = 0; i + 1 < value.size() && directory.size() < 1000; i += 2) {
    const wchar_t c = static_cast<wchar_t>(value[i] | value[i + 1] << 8);
    if (c == 0) break;
    directory.push_back(c);
  }
  if (directory.empty()) {
    ::MessageBoxW(window, L"没有设置备份目录，可以在维护菜单里面设置。", L"提示", MB_OK);
    return;
  }
  ::ShellExecuteW(nullptr, nullptr, directory.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void BrowseWorkingDirectory() {
  wchar_t directory[1025] = {};
  ::GetCurrentDirectoryW(1024, directory);
  ::ShellExecuteW(nullptr, nullptr, directory, nullptr, nullptr, SW_SHOWNORMAL);
}

void Exit() {
  SetNoActivate(false);
  ::DestroyWindow(TheApp().mainWindow);
}

bool OnCommand(HWND window, WORD id) {
  App& app = TheApp();
  switch (id) {
    case IDM_NEW_NOTE:
    case IDM_OPEN_NOTE:
    case IDM_DELETE_NOTE:
    case IDM_CLEAR_NOTE:
    case IDM_CLEAR_ICON_CACHE:
      if (app.managementDialog) ::PostMessageW(app.managementDialog, WM_COMMAND, id, 0);
      return true;
    case IDM_PAUSE_TRAY:
    case IDM_PAUSE_BAR:
      TogglePause();
      return true;
    case IDM_BACKUP:
      BackUpNow(window);
      return true;
    case IDM_COMPACT:
      CompactNow(window);
      return true;
    case IDM_BACKUP_DIRECTORY:
      ShowBackupDirectoryDialog(window);
      return true;
    case IDM_BROWSE_BACKUPS:
      BrowseBackups(window);
      return true;
    case IDM_BROWSE_WORKING:
      BrowseWorkingDirectory();
      return true;
    case IDM_ABOUT:
      ShowAboutDialog(window);
      return true;
    case IDM_EXIT:
    case IDM_EXIT_TRAY:
      Exit();
      return true;
    default:
      return false;
  }
}

LRESULT CALLBACK MainWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  App& app = TheApp();
  switch (message) {
    case WM_CREATE:
      ::SetTimer(window, kShellTimer, 40, &ShellTick);
      return 0;
    case WM_DESTROY:
      app.later->SetNoteHotkeys(window, false);
      notes::CloseAllNoteWindows();
      notes::DestroyItemTooltip();
      TrayRemove();
      app.later->StopSync();
      app.protection.reset();
      app.database.reset();  // closes the files and stamps their times
      ::PostQuitMessage(0);
      return 0;
    case WM_SIZE:
      if (app.managementDialog)
        ::SetWindowPos(app.managementDialog, nullptr, 0, 0, LOWORD(lParam), HIWORD(lParam), SWP_NOZORDER);
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        app.lastDeactivation = ::GetTickCount();
        app.savedFocus = ::GetFocus();
      } else if (LOWORD(wParam) == WA_ACTIVE && app.savedFocus) {
        ::SetFocus(app.savedFocus);
      }
      return 0;
    case WM_MOUSEACTIVATE:
      ::SetForegroundWindow(window);
      return 0;
    case WM_DISPLAYCHANGE:
      notes::Host().screenWidth = LOWORD(lParam) - 2;
      notes::Host().screenHeight = HIWORD(lParam) - 2;
      return 0;
    case WM_NCLBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
      if (::GetForegroundWindow() != window) ::SetForegroundWindow(window);
      break;
    case WM_COMMAND:
      if (OnCommand(window, LOWORD(wParam))) return 0;
      break;
    case WM_TIMER:
      return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_MINIMIZE) {
        const LRESULT result = ::DefWindowProcW(window, message, wParam, lParam);
        SetNoActivate(false);
        ::ShowWindow(window, SW_HIDE);
        return result;
      }
      if ((wParam & 0xFFF0) == SC_CLOSE) {
        ::PostMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        return 0;
      }
      break;
    case WM_SECOND_INSTANCE:
      ToggleManagementWindow(0);
      return 0;
    case WM_TRAY_NOTIFY:
      if (lParam == WM_LBUTTONUP) {
        ToggleManagementWindow(0);
      } else if (lParam == WM_RBUTTONUP) {
        POINT at;
        ::GetCursorPos(&at);
        ::SetForegroundWindow(window);
        ::TrackPopupMenu(app.trayMenu, 0, at.x, at.y, 0, window, nullptr);
      }
      return 0;
    default:
      if (message == app.taskbarCreated && message != 0) {
        TrayAdd(::LoadIconW(app.instance, MAKEINTRESOURCEW(IDI_TRAY)));
        return 0;
      }
      break;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

bool RegisterMainWindowClass() {
  App& app = TheApp();
  WNDCLASSEXW c{};
  c.cbSize = sizeof c;
  c.style = CS_HREDRAW | CS_VREDRAW;
  c.lpfnWndProc = &MainWindowProcedure;
  c.hInstance = app.instance;
  c.hIcon = ::LoadIconW(app.instance, MAKEINTRESOURCEW(IDI_VELLUMO));
  c.hIconSm = ::LoadIconW(app.instance, MAKEINTRESOURCEW(IDI_TRAY));
  c.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  c.lpszMenuName = MAKEINTRESOURCEW(IDM_MAIN);
  c.lpszClassName = app.windowClass.c_str();
  return ::RegisterClassExW(&c) != 0;
}

HWND CreateMainWindow() {
  App& app = TheApp();
  return ::CreateWindowExW(0, app.windowClass.c_str(), L"Vellumo - 管理窗口", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, ::GetDesktopWindow(), nullptr, app.instance,
                           nullptr);
}

void ToggleManagementWindow(std::uint32_t note) {
  App& app = TheApp();
  HWND w = app.mainWindow;
  if (::IsWindowVisible(w)) {
    if (note == 0 && (::GetForegroundWindow() == w || ::GetTickCount() - app.lastDeactivation <= 600)) {
      ::PostMessageW(w, WM_SYSCOMMAND, SC_MINIMIZE, 0);
      if (app.managementDialog) ::PostMessageW(app.managementDialog, WM_MGMT_FOCUS_FILTER, 0, 0);
      return;
    }
    ::SetForegroundWindow(w);
  } else {
    ::ShowWindow(w, SW_SHOWNORMAL);
    ::SetForegroundWindow(w);
    SetNoActivate(true);
  }
  if (app.managementDialog) {
    if (note != 0) ::PostMessageW(app.managementDialog, WM_MGMT_SELECT_NOTE, note, 2);
    ::PostMessageW(app.managementDialog, WM_MGMT_FOCUS_FILTER, 0, 0);
  }
}

}  // namespace vellumo::shell
