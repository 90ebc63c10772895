// Dialog 145 "快捷键设置": the three management hotkeys.  A change applies
// at once, without closing the dialog.
#include <windows.h>
#include <commctrl.h>

#include <optional>

#include "platform/window_base.h"
#include "resources/resource.h"
#include "shell/app.h"
#include "shell/hotkey_table.h"

namespace vellumo::shell {

namespace {

constexpr int kFirstHotkeyControl = IDC_HOTKEY_MANAGEMENT_WINDOW;  // 1012, 1013, 1014 for hotkeys 1, 2, 3

class HotkeyDialog : public platform::DialogBase<HotkeyDialog> {
 public:
  explicit HotkeyDialog(App& app) : app_(app) {}

 private:
  friend class platform::DialogBase<HotkeyDialog>;
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void Apply(int which);
  App& app_;
  bool ready_ = false;  // the controls are being filled: their notifications change nothing
};

void HotkeyDialog::Apply(int which) {
  if (!app_.database) return;
  const auto value = static_cast<std::uint32_t>(
      ::SendDlgItemMessageW(hwnd, kFirstHotkeyControl + which - 1, HKM_GETHOTKEY, 0, 0) & 0xFFFF);
  if (!app_.hotkeys.ChangeManagementHotkey(app_.MainWindowHandle(), *app_.database, which, value)) {
    ModalScope modal(app_);
    ::MessageBoxW(hwnd, L"热键注册失败", L"错误", MB_OK);
  }
}

INT_PTR HotkeyDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      for (int which = 1; which <= kManagementHotkeyCount && app_.database; ++which) {
        if (const std::optional<std::uint32_t> value = ManagementHotkey(*app_.database, which))
          ::SendDlgItemMessageW(hwnd, kFirstHotkeyControl + which - 1, HKM_SETHOTKEY, *value & 0xFFFF, 0);
      }
      ready_ = true;
      return TRUE;
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      if (id == IDCANCEL) {
        ::EndDialog(hwnd, 2);
        return TRUE;
      }
      if (ready_ && id >= kFirstHotkeyControl && id < kFirstHotkeyControl + kManagementHotkeyCount) {
        Apply(id - kFirstHotkeyControl + 1);
        return TRUE;
      }
      break;
    }
    default:
      break;
  }
  return FALSE;
}

}  // namespace

void ShowHotkeyDialog(App& app, HWND owner) {
  HotkeyDialog dialog(app);
  ModalScope modal(app);
  ::DialogBoxParamW(app.context.Instance(), MAKEINTRESOURCEW(IDD_HOTKEYS), owner, &HotkeyDialog::DialogProcedure,
                    reinterpret_cast<LPARAM>(&dialog));
}

}  // namespace vellumo::shell
