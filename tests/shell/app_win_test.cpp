// The shell's main window under Wine: resources start-up keeps, the tick's
// housekeeping waiting for the database, and exit while a modal loop runs.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "resources/resource.h"
#include "shell/app.h"
#include "shell/main_window.h"
#include "support/temp_dir.h"

namespace vellumo::shell {
namespace {

class ShellApp : public ::testing::Test {
 protected:
  void SetUp() override {
    // An earlier test's main window left its WM_QUIT, which would end the
    // next modal loop at once.
    MSG quit;
    while (::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    LoadResources(app, ::GetModuleHandleW(nullptr));
    app.windowClass += L"/shell-app-test";
    ASSERT_TRUE(RegisterMainWindowClass(app) || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS);
    if (!CreateMainWindow(app)) GTEST_SKIP() << "Wine has no display driver here: windows cannot be created";
    ::KillTimer(app.MainWindowHandle(), 0);  // the test steps the tick itself
  }
  void OpenDatabase() {
    app.database = std::make_unique<Ku>();
    ASSERT_EQ(app.database->OpenFiles(dir / "s.ku", dir / "s.hs"), OpenResult::Created);
    app.context.database = app.database.get();
  }
  // Runs the posted messages, WM_QUIT aside.
  void Pump() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
      if (message.message != WM_QUIT) ::DispatchMessageW(&message);
  }

  testing::TempDir dir;
  App app;
};

TEST_F(ShellApp, StartUpKeepsTheTrayAndInsertMenus) {
  ASSERT_NE(app.trayMenu, nullptr);
  ASSERT_NE(app.insertMenu, nullptr);
  wchar_t text[64] = {};
  ::GetMenuStringW(app.insertMenu, IDM_INSERT_PASTE, text, 64, MF_BYCOMMAND);
  EXPECT_STREQ(text, L"粘贴 <v>");
  EXPECT_NE(app.accelerators, nullptr);
  EXPECT_NE(app.context.dragCursor, nullptr);
}

TEST_F(ShellApp, MaintenanceMenuHoldsTheMaintenanceDialogs) {
  HMENU bar = ::GetMenu(app.MainWindowHandle());
  ASSERT_NE(bar, nullptr);
  HMENU maintenance = nullptr;
  for (int i = 0; i < ::GetMenuItemCount(bar); ++i) {
    wchar_t text[64] = {};
    ::GetMenuStringW(bar, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
    if (std::wstring(text) == L"维护(&S)") maintenance = ::GetSubMenu(bar, i);
  }
  ASSERT_NE(maintenance, nullptr);
  for (const UINT id : {IDM_BACKUP, IDM_COMPACT, IDM_BACKUP_DIRECTORY, IDM_BROWSE_BACKUPS, IDM_BROWSE_WORKING,
                        IDM_SERVER_ADDRESS, IDM_HOTKEYS})
    EXPECT_NE(::GetMenuState(maintenance, id, MF_BYCOMMAND), static_cast<UINT>(-1)) << id;
}

TEST_F(ShellApp, HousekeepingWaitsForTheDatabase) {
  MainWindow& window = *app.mainWindow;
  window.Tick(1000);  // inside a start-up message box: no database yet
  OpenDatabase();
  // The first run with the database is still the first: views released and
  // the backup checked at once.
  const HousekeepingDue due = app.housekeeping.Step(1040);
  EXPECT_TRUE(due.releaseViews);
  EXPECT_TRUE(due.backupCheck);
  EXPECT_EQ(app.context.interfaceClock, 1000u);
}

// Inside the About box's modal loop: a second About and an exit arrive.
void CALLBACK DuringAbout(HWND, UINT, UINT_PTR timer, DWORD) noexcept {
  ::KillTimer(nullptr, timer);
  App& app = *reinterpret_cast<App*>(::GetPropW(::GetDesktopWindow(), L"VellumoShellTest"));
  ShowAboutDialog(app, app.MainWindowHandle());  // returns at once: one box at a time
  RequestExit(app);
}

TEST_F(ShellApp, ExitDuringAModalLoopWaitsForItsEnd) {
  OpenDatabase();
  ::SetPropW(::GetDesktopWindow(), L"VellumoShellTest", &app);
  ::SetTimer(nullptr, 0, 50, &DuringAbout);
  ShowAboutDialog(app, app.MainWindowHandle());  // closed by the exit request
  ::RemovePropW(::GetDesktopWindow(), L"VellumoShellTest");
  EXPECT_TRUE(::IsWindow(app.MainWindowHandle()));
  EXPECT_NE(app.database, nullptr) << "the database went while the About box was open";
  EXPECT_EQ(app.aboutDialog, nullptr);
  EXPECT_EQ(app.modalDepth, 0);
  EXPECT_FALSE(app.exitPending);
  Pump();  // the deferred exit
  EXPECT_EQ(app.MainWindowHandle(), nullptr);
  EXPECT_EQ(app.database, nullptr);
}

}  // namespace
}  // namespace vellumo::shell
