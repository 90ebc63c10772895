#pragma once
// The running program: what start-up creates and exit destroys.  WinMain
// owns the one App and hands it to the windows it creates; the note windows
// and every later subsystem see the part they need, the ProgramContext.
// Interface thread only.
#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "actions/action_queue.h"
#include "actions/keyboard_input.h"
#include "editor/item_editor.h"
#include "model/item_operations.h"
#include "model/notifier.h"
#include "notes/drop_target.h"
#include "notes/gesture_recogniser.h"
#include "notes/pointer_sampler.h"
#include "notes/program_context.h"
#include "platform/win_handles.h"
#include "protect/content_key.h"
#include "resources/window_messages.h"
#include "shell/global_hotkeys.h"
#include "shell/housekeeping.h"
#include "store/backup.h"
#include "store/ku.h"

namespace vellumo::shell {

class MainWindow;
class ManagementDialog;
class PasswordDialog;

// Message boxes owned by the main window, for the store and the model.
class MessageBoxes final : public UserMessages, public model::ModelNotifier {
 public:
  explicit MessageBoxes(struct App& app) : app_(app) {}
  void Show(std::u16string_view text, std::u16string_view caption) override;
  void ShowMessage(std::u16string_view text, std::u16string_view caption) override { Show(text, caption); }

 private:
  App& app_;
};

// Said wherever sync is asked for when the network library did not start.
inline constexpr wchar_t kSyncUnavailableText[] = L"网络同步不可用：系统网络组件无法启动！";

// The subsystems that later parts of the program bring: the sync engine.
// Start-up and exit call them at their places; until a subsystem exists its
// part does nothing.
class LaterSubsystems {
 public:
  virtual ~LaterSubsystems() = default;
  virtual void StartSync() {}
  // False when the system's network library could not start: there is no
  // sync in this run, and what asks for it says so.
  virtual bool SyncAvailable() { return false; }
  // The note has a sync entry: its item deletions must reach the server.
  virtual bool IsSynced(std::uint32_t /*note*/) { return false; }
  // What the properties page's "立即生效" asks of the sync engine.
  virtual bool SyncConnected() { return false; }
  virtual void RemoveSyncEntry(std::uint32_t /*note*/) {}
  virtual void RegisterNoteForSync(std::uint32_t /*note*/) {}
  // -1 while the server has not answered; nothing when the note has no
  // entry (registration refused locally).
  virtual std::optional<int> SyncStatus(std::uint32_t /*note*/) { return std::nullopt; }
  // A server notice was being shown: clears that flag.
  virtual bool TakeServerNotice() { return false; }
  // The server address record changed: the next connection uses it, with
  // no restart.
  virtual void ServerAddressChanged() {}
  virtual void StopSync() {}
};

// Carries out what queued actions ask of the program: the keyboard, the
// clipboard, the note windows (program_actions.cpp).
class ShellActionPerformer final : public actions::ActionPerformer {
 public:
  explicit ShellActionPerformer(notes::ProgramContext& context) : context_(context) {}
  void OpenNotesForTrigger(std::uint32_t triggerCode) override;
  void SendCtrlChord(std::uint8_t vk) override;
  void SetClipboardText(std::u16string_view text) override;
  void CaptureToItem(std::uint32_t note) override;
  void CaptureToEditor(std::uint64_t editControl, std::int32_t limit) override;
  bool EscapeDown() override;
  bool ModifiersDown() override;
  actions::KeySink& Keys() override { return keys_; }

 private:
  notes::ProgramContext& context_;
  actions::SendInputKeySink keys_;
};

// What note windows ask of the rest of the program (program_actions.cpp).
class ShellNoteCommands final : public notes::NoteCommands {
 public:
  explicit ShellNoteCommands(struct App& app) : app_(app) {}
  void ExecuteItem(std::uint32_t note, std::uint32_t item) override;
  void OpenItemEditor(std::uint32_t note, std::uint32_t item, bool newEditor) override;
  void ToggleManagementWindow(std::uint32_t note) override;
  void CaptureToItem(std::uint32_t note) override;
  void CaptureToEditor(HWND edit, int limit) override;

 private:
  App& app_;
};

struct App {
  App();
  ~App();
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  notes::ProgramContext context;  // instance, database, protection, windows, clock, screen
  std::wstring productTitle;
  std::wstring windowClass;
  platform::MenuHandle trayMenuBar;  // menu 129; its first submenu is the tray menu
  HMENU trayMenu = nullptr;
  platform::MenuHandle insertMenuBar;  // menu 141; its first submenu is the insert-command menu
  HMENU insertMenu = nullptr;
  HACCEL accelerators = nullptr;  // resource tables are freed with the module
  platform::KernelHandle instanceMutex;
  UINT taskbarCreated = 0;
  // The settings page shown in the management window, whose controls the
  // message loop gives dialog keyboard handling; null while none is.
  HWND currentSettingsPage = nullptr;
  std::unique_ptr<MainWindow> mainWindow;
  std::unique_ptr<ManagementDialog> managementDialog;
  std::unique_ptr<Ku> database;
  std::unique_ptr<protect::ContentProtection> protection;
  MessageBoxes messages{*this};
  std::unique_ptr<LaterSubsystems> later;  // the sync engine

  GlobalHotkeys hotkeys;
  editor::EditorList editors;
  model::ItemSyncHooks* syncHooks = nullptr;  // the sync engine's
  std::unique_ptr<model::ItemOperations> itemOperations;
  ShellActionPerformer actionPerformer{context};
  actions::ActionQueue actionQueue{actionPerformer};
  ShellNoteCommands noteCommands{*this};
  HousekeepingClock housekeeping;
  DWORD lastDeactivation = 0;
  HWND savedFocus = nullptr;
  bool mousePopupPaused = false;
  notes::PointerSampler pointerSampler;
  notes::GestureRecogniser gestures;
  // Modal loops run inside the main window's procedure; while one runs, the
  // window and the database under it must stay.  An exit asked for then is
  // carried out when the last modal loop has ended.
  int modalDepth = 0;
  bool exitPending = false;
  HWND aboutDialog = nullptr;
  // The modeless password dialog, made on first use; its window may be gone.
  std::unique_ptr<PasswordDialog> passwordDialog;
  // Made once OLE is up; every window that registered it is gone before it.
  std::unique_ptr<notes::CDropTarget> dropTarget;

  HWND MainWindowHandle() const { return context.mainWindow; }
  HWND PasswordDialogHandle() const;
  HWND ManagementDialogHandle() const { return context.managementDialog; }
};

// Counts a modal loop of the interface thread for the App's lifetime rules.
class ModalScope {
 public:
  explicit ModalScope(App& app);
  ~ModalScope();
  ModalScope(const ModalScope&) = delete;
  ModalScope& operator=(const ModalScope&) = delete;

 private:
  App& app_;
};

// Loads strings 103 and 109, menus 129 and 141 and accelerator table 109.
void LoadResources(App& app, HINSTANCE instance);
bool Initialise(App& app, HINSTANCE instance);
// After OleInitialize: the drop target, registered on the main window and on
// every note window (those opened later register it themselves).
void EnableDropping(App& app);
// Before the main window goes, while OLE is still up.
void DisableDropping(App& app);
// The message loop's dialog and accelerator handling; true when the message
// was consumed.
bool PreTranslate(App& app, MSG& message);

bool RegisterMainWindowClass(App& app);
HWND CreateMainWindow(App& app);
HWND CreateManagementDialog(App& app, HWND parent);
void ToggleManagementWindow(App& app, std::uint32_t note);
// Exit: destroys the main window, or, inside a modal loop, asks for it once
// the loop has ended.
void RequestExit(App& app);
void TrayAdd(App& app, HICON icon);
void TrayRemove(App& app);
void TraySetIcon(App& app, HICON icon);
void ShowAboutDialog(App& app, HWND owner);
void ShowBackupDirectoryDialog(App& app, HWND owner);
void ShowHotkeyDialog(App& app, HWND owner);
void ShowServerAddressDialog(App& app, HWND owner);
// Opens the password dialog, or brings the open one to the front; owned by
// `owner` when that is a window, else by the main window.
void OpenPasswordDialog(App& app, HWND owner);
// What a lock must not leave on screen: the windows of hidden notes and the
// item editors that show a decrypted "<k>"/"<K>" text.
void CloseWhatLockingHides(App& app);
// Pop-up triggers (trigger_sampling.cpp): the monitors whose edges count,
// and one pointer sample a tick.
void RefreshTriggerMonitors(App& app);
void SampleTriggers(App& app, DWORD now);
std::wstring Wide(std::u16string_view text);
// The directory automatic backups go to; empty when none is set.
inline std::wstring StoredBackupDirectoryText(Ku* database) {
  return database ? Wide(StoredBackupDirectory(*database)) : std::wstring();
}

}  // namespace vellumo::shell
