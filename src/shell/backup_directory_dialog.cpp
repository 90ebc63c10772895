// Dialog 103: the directory automatic backups go to.
#include <windows.h>

#include <filesystem>
#include <system_error>
#include <vector>

#include "resources/resource.h"
#include "platform/utf16_bytes.h"
#include "platform/window_base.h"
#include "shell/app.h"
#include "store/record_keys.h"

namespace vellumo::shell {

namespace {

bool StoreDirectory(App& app, HWND dialog) {
  wchar_t text[1001] = {};
  ::GetDlgItemTextW(dialog, IDC_BACKUP_DIRECTORY_EDIT, text, 1001);
  const std::wstring directory(text);
  if (!directory.empty()) {
    // Checked without changing the process's working directory.
    std::error_code ec;
    if (!std::filesystem::is_directory(std::filesystem::path(directory), ec)) {
      ModalScope modal(app);
      ::MessageBoxW(dialog, L"设置的路径不存在！", L"错误", MB_OK);
      return false;
    }
  }
  // Stored with its terminating zero; an empty text removes the setting.
  std::vector<std::uint8_t> value;
  if (!directory.empty())
    value = Utf16ToBytes(std::u16string(directory.begin(), directory.end()) + std::u16string(1, u'\0'));
  if (!app.database) return true;
  (void)app.database->Put(record_keys::kBackupDirectoryKey, value.empty() ? nullptr : value.data(),
                          static_cast<std::uint32_t>(value.size()));
  return true;
}

class BackupDirectoryDialog : public platform::DialogBase<BackupDirectoryDialog> {
 public:
  explicit BackupDirectoryDialog(App& app) : app_(app) {}

 private:
  friend class platform::DialogBase<BackupDirectoryDialog>;
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  App& app_;
};

INT_PTR BackupDirectoryDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
  HWND dialog = hwnd;
  switch (message) {
    case WM_INITDIALOG:
      ::SetDlgItemTextW(dialog, IDC_BACKUP_DIRECTORY_EDIT, StoredBackupDirectoryText(app_.database.get()).c_str());
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        if (StoreDirectory(app_, dialog)) ::EndDialog(dialog, 1);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        ::EndDialog(dialog, 2);
        return TRUE;
      }
      break;
    default:
      break;
  }
  return FALSE;
}

}  // namespace

void ShowBackupDirectoryDialog(App& app, HWND owner) {
  BackupDirectoryDialog dialog(app);
  ModalScope modal(app);
  ::DialogBoxParamW(app.context.Instance(), MAKEINTRESOURCEW(IDD_BACKUP_DIRECTORY), owner,
                    &BackupDirectoryDialog::DialogProcedure, reinterpret_cast<LPARAM>(&dialog));
}

}  // namespace vellumo::shell
