// Dialog 144: the sync server's address.
#include <windows.h>

#include <string>

#include "platform/codepage.h"
#include "platform/window_base.h"
#include "resources/resource.h"
#include "shell/app.h"
#include "store/server_address.h"

namespace vellumo::shell {

namespace {

class ServerAddressDialog : public platform::DialogBase<ServerAddressDialog> {
 public:
  explicit ServerAddressDialog(App& app) : app_(app) {}

 private:
  friend class platform::DialogBase<ServerAddressDialog>;
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void StoreAddress();
  App& app_;
};

void ServerAddressDialog::StoreAddress() {
  wchar_t text[kServerAddressMaxBytes + 1] = {};
  const int length = ::GetDlgItemTextW(hwnd, IDC_SERVER_ADDRESS_EDIT, text, static_cast<int>(std::size(text)));
  // Stored as typed, unchecked: the sync engine reports what does not work.
  const std::string ansi = platform::WideToAnsi(
      std::u16string_view(reinterpret_cast<const char16_t*>(text), static_cast<std::size_t>(length)));
  if (app_.database) (void)StoreServerAddress(*app_.database, ansi);
}

INT_PTR ServerAddressDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      if (app_.database) {
        const std::u16string shown = platform::AnsiToWide(StoredServerAddress(*app_.database));
        ::SetDlgItemTextW(hwnd, IDC_SERVER_ADDRESS_EDIT, Wide(shown).c_str());
      }
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        StoreAddress();
        ::EndDialog(hwnd, 1);
        if (app_.later->SyncAvailable()) {
          app_.later->ServerAddressChanged();
        } else {
          ModalScope modal(app_);
          ::MessageBoxW(app_.MainWindowHandle(), kSyncUnavailableText, L"错误", MB_OK);
        }
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        ::EndDialog(hwnd, 2);
        return TRUE;
      }
      break;
    default:
      break;
  }
  return FALSE;
}

}  // namespace

void ShowServerAddressDialog(App& app, HWND owner) {
  ServerAddressDialog dialog(app);
  ModalScope modal(app);
  ::DialogBoxParamW(app.context.Instance(), MAKEINTRESOURCEW(IDD_SERVER_ADDRESS), owner,
                    &ServerAddressDialog::DialogProcedure, reinterpret_cast<LPARAM>(&dialog));
}

}  // namespace vellumo::shell
