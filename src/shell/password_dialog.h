#pragma once
// The password dialog (dialog 111): unlock and lock, change the password,
// show the recovery string and recover with it.  Modeless, at most one; the
// App keeps the object, the window may come and go.  Interface thread only.
#include <windows.h>

#include <optional>
#include <string>

#include "platform/window_base.h"
#include "protect/content_key.h"
#include "protect/recovery_string.h"

namespace vellumo::shell {

struct App;

class PasswordDialog : public platform::DialogBase<PasswordDialog> {
 public:
  explicit PasswordDialog(App& app) : app_(app) {}
  ~PasswordDialog();
  PasswordDialog(const PasswordDialog&) = delete;
  PasswordDialog& operator=(const PasswordDialog&) = delete;

  bool Create(HWND owner);

 private:
  friend class platform::DialogBase<PasswordDialog>;
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnInit();
  // Caption and button 1 after the lock state, and what a change of that
  // state asks of the rest of the program.
  void Refresh();
  void UnlockOrLock();
  void ChangePassword();
  void ShowRecoveryString();
  void Recover();
  void ReplaceKey(protect::RecoveryRequest request, const std::string& recoveryText);
  void RecoverWithString(const std::string& recoveryText);
  // The password box's key when it unlocks; otherwise the user is told, the
  // program is left locked and nothing is returned.
  std::optional<protect::PasswordKey> Verify();
  // A box's text as ANSI bytes, at most 511 of them; the caller wipes it.
  std::string AnsiText(int id) const;
  void ClearBox(int id);
  int Ask(const wchar_t* text, const wchar_t* caption, UINT type);
  bool Unlocked() const;

  App& app_;
  bool shownUnlocked_ = false;
};

}  // namespace vellumo::shell
