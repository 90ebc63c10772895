#pragma once
// Dialog 109, the main page of the management window: a note's name,
// hotkey, triggers and sync settings, each stored as it changes.
#include <windows.h>

#include <cstdint>

#include "platform/window_base.h"

namespace vellumo::shell {

struct App;

class PropertiesPage : public platform::DialogBase<PropertiesPage> {
 public:
  PropertiesPage(App& app, std::uint32_t note) : app_(app), note_(note) {}
  HWND Create(HWND container);

 private:
  friend class platform::DialogBase<PropertiesPage>;
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnInit();
  void OnCommand(int id, int code);
  void ShowIdLabel();
  void StoreName();
  void StoreHotkey();
  void StoreTriggers();
  void StoreSyncField(int id);
  void ApplySync();
  int Tell(const wchar_t* text, const wchar_t* caption);

  App& app_;
  std::uint32_t note_;
  bool ready_ = false;  // notifications while the boxes are filled store nothing
};

}  // namespace vellumo::shell
