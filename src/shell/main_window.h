#pragma once
// MainWindow: the frame of the management window, owner of the tray icon,
// the menu bar and the 40 ms timer.
#include <windows.h>

#include "platform/window_base.h"

namespace vellumo::shell {

struct App;

class MainWindow : public platform::WindowBase<MainWindow> {
 public:
  explicit MainWindow(App& app) : app_(app) {}

  // ShellTick's work for one tick at `now`.
  void Tick(DWORD now);
  // lParam: for the password command, the window to own the dialog, if any.
  bool OnCommand(WORD id, LPARAM lParam = 0);
  // The pop-up options' check marks in the menu bar, from the context.
  void ShowPopupOptions();

 private:
  friend class platform::WindowBase<MainWindow>;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnDestroy();
  void OnHotkey(int id);
  void TogglePause();
  void TogglePopupOption(WORD id);
  void BackUpNow();
  void CompactNow();
  void BrowseBackups();
  void SetNoActivate(bool on);

  App& app_;
  bool ticked_ = false;
};

}  // namespace vellumo::shell
