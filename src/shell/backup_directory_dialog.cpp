// Dialog 103: the directory automatic backups go to.
#include <windows.h>

#include <filesystem>
#include <system_error>
#include <vector>

#include "resources/resource.h"
#include "shell/app.h"

namespace vellumo::shell {

namespace {

const std::uint8_t kBackupDirectoryKey[] = {0x08, 0x02};

std::wstring StoredDirectory() {
  std::vector<std::uint8_t> value;
  std::wstring text;
  if (!TheApp().database || TheApp().database->GetValue(kBackupDirectoryKey, &value) != 0) return text;
  for (std::size_t i = 0; i + 1 < value.size() && i < 2000; i += 2) {
    const auto c = static_cast<wchar_t>(value[i] | value[i + 1] << 8);
    if (c == 0) break;
    text.push_back(c);
  }
  return text;
}

bool StoreDirectory(HWND dialog) {
  wchar_t text[1001] = {};
  ::GetDlgItemTextW(dialog, IDC_BACKUP_DIRECTORY_EDIT, text, 1001);
  const std::wstring directory(text);
  if (!directory.empty()) {
    // Checked without changing the process's working directory.
    std::error_code ec;
    if (!std::filesystem::is_directory(std::filesystem::path(directory), ec)) {
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
  (void)TheApp().database->Put(kBackupDirectoryKey, value.empty() ? nullptr : value.data(),
                               static_cast<std::uint32_t>(value.size()));
  return true;
}

INT_PTR CALLBACK BackupDirectoryProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM) noexcept {
  switch (message) {
    case WM_INITDIALOG:
      ::SetDlgItemTextW(dialog, IDC_BACKUP_DIRECTORY_EDIT, StoredDirectory().c_str());
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        if (StoreDirectory(dialog)) ::EndDialog(dialog, 1);
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

void ShowBackupDirectoryDialog(HWND owner) {
  ::DialogBoxParamW(TheApp().instance, MAKEINTRESOURCEW(IDD_BACKUP_DIRECTORY), owner, &BackupDirectoryProcedure, 0);
}

}  // namespace vellumo::shell
