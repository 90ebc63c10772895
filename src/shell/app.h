#pragma once
// Process-wide state of the running program, created at start-up and alive
// until exit.  Only the interface thread touches it.
#include <windows.h>

#include <memory>
#include <mutex>
#include <string>

#include "actions/action_queue.h"
#include "model/notifier.h"
#include "protect/content_key.h"
#include "shell/housekeeping.h"
#include "store/backup.h"
#include "store/ku.h"

namespace vellumo::shell {

inline constexpr UINT WM_TRAY_NOTIFY = WM_USER + 1;
inline constexpr UINT WM_SECOND_INSTANCE = WM_USER + 11;
inline constexpr UINT WM_MGMT_RELOAD = WM_USER + 2;
inline constexpr UINT WM_MGMT_FOCUS_FILTER = WM_USER + 5;
inline constexpr UINT WM_MGMT_SELECT_NOTE = WM_USER + 7;
inline constexpr UINT WM_MGMT_AUTO_OPEN = WM_USER + 8;

// Message boxes owned by the main window, for the store and the model.
class MessageBoxes final : public UserMessages, public model::ModelNotifier {
 public:
  void Show(std::u16string_view text, std::u16string_view caption) override;
  void ShowMessage(std::u16string_view text, std::u16string_view caption) override { Show(text, caption); }
};

// The subsystems that later parts of the program bring: global hotkeys and
// the sync engine.  Start-up and exit
// call them at their places; until a subsystem exists its part does nothing.
class LaterSubsystems {
 public:
  virtual ~LaterSubsystems() = default;
  // Returns the lines for the management hotkeys that could not be
  // registered (" 热键注册失败!" each), empty when all were.
  virtual std::wstring RegisterManagementHotkeys(HWND /*mainWindow*/) { return {}; }
  virtual void SetNoteHotkeys(HWND /*mainWindow*/, bool /*registered*/) {}
  virtual void StartSync() {}
  virtual void StopSync() {}
};

// Carries out what queued actions ask of the program's windows.
class ShellActionPerformer final : public actions::ActionPerformer {
 public:
  void OpenNotesForTrigger(std::uint32_t triggerCode) override;
};

struct App {
  HINSTANCE instance = nullptr;
  std::wstring productTitle;
  std::wstring windowClass;
  HMENU trayMenuBar = nullptr;  // menu 129; its first submenu is the tray menu
  HMENU trayMenu = nullptr;
  HMENU insertMenuBar = nullptr;
  HMENU insertMenu = nullptr;
  HACCEL accelerators = nullptr;
  HANDLE instanceMutex = nullptr;
  std::recursive_mutex appMutex;  // model::AppMutex: re-entrant, as the sync hooks run under it
  UINT taskbarCreated = 0;
  HWND mainWindow = nullptr;
  HWND managementDialog = nullptr;
  std::unique_ptr<Ku> database;
  std::unique_ptr<protect::ContentProtection> protection;
  MessageBoxes messages;
  std::unique_ptr<LaterSubsystems> later = std::make_unique<LaterSubsystems>();
  ShellActionPerformer actionPerformer;
  actions::ActionQueue actionQueue{actionPerformer};
  HousekeepingClock housekeeping;
  DWORD lastDeactivation = 0;
  HWND savedFocus = nullptr;
  bool mousePopupPaused = false;
};

App& TheApp();

bool Initialise(HINSTANCE instance);
bool RegisterMainWindowClass();
HWND CreateMainWindow();
HWND CreateManagementDialog(HWND parent);
void ToggleManagementWindow(std::uint32_t note);
void TrayAdd(HICON icon);
void TrayRemove();
void TraySetIcon(HICON icon);
void ShowAboutDialog(HWND owner);
void ShowBackupDirectoryDialog(HWND owner);
std::wstring Wide(std::u16string_view text);

}  // namespace vellumo::shell
