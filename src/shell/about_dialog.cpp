#include <cstdio>
#include <vector>

#include "resources/resource.h"
#include "platform/window_base.h"
#include "shell/app.h"
#include "shell/usage_text.h"

namespace vellumo::shell {

namespace {

// The major and minor numbers of the program's file version.
void FileVersion(unsigned* major, unsigned* minor) {
  *major = *minor = 0;
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(path, &ignored);
  if (size == 0) return;
  std::vector<char> block(size);
  if (!::GetFileVersionInfoW(path, 0, size, block.data())) return;
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info) return;
  *major = HIWORD(info->dwFileVersionMS);
  *minor = LOWORD(info->dwFileVersionMS);
}

class AboutDialog : public platform::DialogBase<AboutDialog> {
 public:
  explicit AboutDialog(App& app) : app_(app) {}

 private:
  friend class platform::DialogBase<AboutDialog>;
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  App& app_;
};

INT_PTR AboutDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
  HWND dialog = hwnd;
  switch (message) {
    case WM_INITDIALOG: {
      app_.aboutDialog = dialog;
      ::SetWindowTextW(dialog, app_.productTitle.c_str());
      unsigned major, minor;
      FileVersion(&major, &minor);
      wchar_t version[64];
      std::swprintf(version, 64, L"版本：%u.%u", major, minor);
      ::SetDlgItemTextW(dialog, IDC_ABOUT_VERSION, version);
      ::SetDlgItemTextW(dialog, IDC_ABOUT_TEXT, kUsageText);
      // Centred over the management window, or over the screen while it is hidden.
      HWND over = app_.MainWindowHandle();
      if (!::IsWindowVisible(over) || ::IsIconic(over)) over = ::GetDesktopWindow();
      RECT owner, self;
      ::GetWindowRect(over, &owner);
      ::GetWindowRect(dialog, &self);
      ::SetWindowPos(dialog, nullptr, (owner.left + owner.right - (self.right - self.left)) / 2,
                     (owner.top + owner.bottom - (self.bottom - self.top)) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
      // Focus on the button, so that the text opens at its top, unselected.
      ::SetFocus(::GetDlgItem(dialog, IDOK));
      return FALSE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        ::EndDialog(dialog, 0);
        return TRUE;
      }
      break;
    case WM_NCDESTROY:
      app_.aboutDialog = nullptr;
      break;
    default:
      break;
  }
  return FALSE;
}

}  // namespace

void ShowAboutDialog(App& app, HWND owner) {
  if (app.aboutDialog) {
    // One About box at a time: a second request shows the open one.
    ::SetForegroundWindow(app.aboutDialog);
    return;
  }
  // A minimised (hidden) management window would hide the box it owns.
  if (owner && (!::IsWindowVisible(owner) || ::IsIconic(owner))) owner = nullptr;
  AboutDialog about(app);
  ModalScope modal(app);
  ::DialogBoxParamW(app.context.Instance(), MAKEINTRESOURCEW(IDD_ABOUT), owner, &AboutDialog::DialogProcedure,
                    reinterpret_cast<LPARAM>(&about));
}

}  // namespace vellumo::shell
