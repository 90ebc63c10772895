#pragma once
// ManagementDialog: dialog 107 inside the main window, with the note list.
#include <windows.h>

#include "platform/window_base.h"

namespace vellumo::shell {

struct App;

class ManagementDialog : public platform::DialogBase<ManagementDialog> {
 public:
  explicit ManagementDialog(App& app) : app_(app) {}

 private:
  friend class platform::DialogBase<ManagementDialog>;
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void ReloadNotes();
  void ClearIconCacheAndReport();

  App& app_;
};

}  // namespace vellumo::shell
