// Dialog 103: the directory automatic backups go to.
#include <windows.h>

#include <filesystem>
#include <system_error>
#include <vector>

#include "resources/resource.h"
#include "platform/window_base.h"
#include "shell/app.h"

namespace vellumo::shell {

namespace {

const std::uint8_t kBackupDirectoryKey[] = {0x08, 0x02};

std::wstring StoredDirectory(Ku* database) {
  std::vector<std::uint8_t> value;
  std::wstring text;
  if (!database || database->GetValue(kBackupDirectoryKey, &value) != 0) return text;
  for (std::size_t i = 0; i + 1 < value.size() && i < 2000; i += 2) {
    const auto c = static_cast<wchar_t>(value[i] | value[i + 1] << 8);
    if (c == 0) break;
    text.push_back(c);
  }
  return text;
}

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
  std::vector<std::uint8_t> value;
  for (wchar_t c : directory) {
    value.push_back(static_cast<std::uint8_t>(c & 0xFF));
    value.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  if (!value.empty()) value.insert(value.end(), {0, 0});
  if (!app.database) return true;
  (void)app.database->Put(kBackupDirectoryKey, value.empty() ? nullptr : value.data(),
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
      ::SetDlgItemTextW(dialog, IDC_BACKUP_DIRECTORY_EDIT, StoredDirectory(app_.database.get()).c_str());
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
