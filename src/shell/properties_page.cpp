#include "shell/properties_page.h"

#include <commctrl.h>

#include <array>
#include <cstdio>
#include <optional>
#include <string>

#include "manager/note_properties.h"
#include "model/items.h"
#include "model/notes.h"
#include "resources/resource.h"
#include "shell/app.h"
#include "shell/management_dialog.h"

namespace vellumo::shell {

namespace {

constexpr std::size_t kNameUnits = 5000;
constexpr std::size_t kSyncFieldUnits = 63;
constexpr wchar_t kMask = 0x25CF;  // ●
constexpr int kPolls = 100;
constexpr DWORD kPollMs = 50;

std::u16string ReadBox(HWND dialog, int id, std::size_t limit) {
  std::wstring text(limit + 1, L'\0');
  const int n = ::GetDlgItemTextW(dialog, id, text.data(), static_cast<int>(limit + 1));
  return std::u16string(text.begin(), text.begin() + std::max(n, 0));
}

}  // namespace

HWND PropertiesPage::Create(HWND container) {
  ::CreateDialogParamW(app_.context.Instance(), MAKEINTRESOURCEW(IDD_PROPERTIES_PAGE), container,
                       &PropertiesPage::DialogProcedure, reinterpret_cast<LPARAM>(this));
  return hwnd;
}

int PropertiesPage::Tell(const wchar_t* text, const wchar_t* caption) {
  ModalScope modal(app_);
  return ::MessageBoxW(app_.MainWindowHandle(), text, caption, MB_OK);
}

void PropertiesPage::ShowIdLabel() {
  const std::uint32_t count = app_.database ? model::ItemCount(*app_.database, note_) : 0;
  wchar_t text[96];
  std::swprintf(text, 96, L"ID：%u （项目数量：%u）", note_, count);
  ::SetDlgItemTextW(hwnd, IDC_PROPS_ID, text);
}

void PropertiesPage::OnInit() {
  if (!app_.database) return;
  Ku& db = *app_.database;
  ShowIdLabel();
  std::u16string name = model::GetNoteName(db, note_);
  if (name.size() > kNameUnits) name.resize(kNameUnits);
  ::SendDlgItemMessageW(hwnd, IDC_PROPS_NAME, EM_LIMITTEXT, kNameUnits, 0);
  ::SetDlgItemTextW(hwnd, IDC_PROPS_NAME, Wide(name).c_str());
  const std::uint32_t hotkey = model::GetNoteU32(db, note_, model::note_field::kHotkey, 0);
  ::SendDlgItemMessageW(hwnd, IDC_PROPS_HOTKEY, HKM_SETHOTKEY, hotkey & 0xFFFF, 0);
  const auto boxes = manager::BoxesFromTriggers(model::GetNoteTriggers(db, note_));
  for (int i = 0; i < manager::kTriggerBoxes; ++i)
    ::CheckDlgButton(hwnd, manager::kFirstTriggerBox + i, boxes[static_cast<std::size_t>(i)] ? BST_CHECKED : BST_UNCHECKED);
  for (const int box : {IDC_PROPS_SYNC_ID, IDC_PROPS_SYNC_PASSWORD})
    ::SendDlgItemMessageW(hwnd, box, EM_LIMITTEXT, kSyncFieldUnits, 0);
  ::SetDlgItemTextW(hwnd, IDC_PROPS_SYNC_ID, Wide(model::GetNoteText(db, note_, model::note_field::kSyncId)).c_str());
  ::SetDlgItemTextW(hwnd, IDC_PROPS_SYNC_PASSWORD,
                    Wide(model::GetNoteText(db, note_, model::note_field::kSyncPassword)).c_str());
  ::SendDlgItemMessageW(hwnd, IDC_PROPS_SYNC_PASSWORD, EM_SETPASSWORDCHAR, kMask, 0);
  ready_ = true;
}

void PropertiesPage::StoreName() {
  Ku& db = *app_.database;
  std::u16string name = ReadBox(hwnd, IDC_PROPS_NAME, kNameUnits);
  if (name.empty()) name = model::DefaultNoteName(note_);
  (void)model::RenameNote(db, note_, name);
  if (app_.managementDialog) app_.managementDialog->ReplaceCurrentEntry(name);
}

void PropertiesPage::StoreHotkey() {
  Ku& db = *app_.database;
  const auto value =
      static_cast<std::uint32_t>(::SendDlgItemMessageW(hwnd, IDC_PROPS_HOTKEY, HKM_GETHOTKEY, 0, 0) & 0xFFFF);
  (void)model::PutNoteU32(db, note_, model::note_field::kHotkey, value);
  if (!app_.hotkeys.ChangeNoteHotkey(app_.MainWindowHandle(), db, note_, value)) {
    Tell(L"热键注册失败", L"错误");
    // The value stays stored: it is tried again at the next start.
    ::SendDlgItemMessageW(hwnd, IDC_PROPS_HOTKEY, HKM_SETHOTKEY, 0, 0);
  }
}

void PropertiesPage::StoreTriggers() {
  std::array<bool, manager::kTriggerBoxes> boxes{};
  for (int i = 0; i < manager::kTriggerBoxes; ++i)
    boxes[static_cast<std::size_t>(i)] = ::IsDlgButtonChecked(hwnd, manager::kFirstTriggerBox + i) == BST_CHECKED;
  // No trigger left erases the record rather than storing 0.
  (void)model::PutNoteTriggers(*app_.database, note_, manager::TriggersFromBoxes(boxes));
}

void PropertiesPage::StoreSyncField(int id) {
  const std::uint8_t field = id == IDC_PROPS_SYNC_ID ? model::note_field::kSyncId : model::note_field::kSyncPassword;
  (void)model::PutNoteText(*app_.database, note_, field, ReadBox(hwnd, id, kSyncFieldUnits));
}

void PropertiesPage::ApplySync() {
  LaterSubsystems& sync = *app_.later;
  sync.RemoveSyncEntry(note_);
  const std::u16string id = ReadBox(hwnd, IDC_PROPS_SYNC_ID, kSyncFieldUnits);
  const std::u16string password = ReadBox(hwnd, IDC_PROPS_SYNC_PASSWORD, kSyncFieldUnits);
  if (id.empty() || password.empty()) {
    Tell(L"不允许空白ID或空白密码！", L"错误");
    return;
  }
  if (id.front() == u'!') {
    Tell(L"此便利贴同步已关闭！\r\n（因为ID是感叹号(\"!\")开头）", L"提示");
    return;
  }
  if (!manager::SyncPasswordAcceptable(password)) {
    Tell(L"密码需包含符号（或中文），长度8-64位！", L"错误");
    return;
  }
  if (!sync.SyncAvailable()) {
    Tell(kSyncUnavailableText, L"错误");
    return;
  }
  if (!sync.SyncConnected()) {
    Tell(L"暂未连接到服务器！", L"错误");
    return;
  }
  sync.RegisterNoteForSync(note_);
  for (int poll = 0; poll < kPolls; ++poll) {
    ::Sleep(kPollMs);
    const std::optional<int> status = sync.SyncStatus(note_);
    if (!status) return;
    if (*status == 0) {
      Tell(L"同步ID和密码验证成功，同步已启用！", L"便利贴");
      ShowIdLabel();
      return;
    }
    if (*status != -1) return;
    if (sync.TakeServerNotice()) return;
  }
  Tell(L"服务器响应超时", L"便利贴");
}

void PropertiesPage::OnCommand(int id, int code) {
  if (!ready_ || !app_.database) return;
  if (id == IDC_PROPS_NAME && code == EN_UPDATE) {
    StoreName();
  } else if (id == IDC_PROPS_HOTKEY) {
    StoreHotkey();
  } else if (id >= manager::kFirstTriggerBox && id < manager::kFirstTriggerBox + manager::kTriggerBoxes) {
    if (code == BN_CLICKED) StoreTriggers();
  } else if (id == IDC_PROPS_SYNC_ID || id == IDC_PROPS_SYNC_PASSWORD) {
    if (code == EN_UPDATE) StoreSyncField(id);
    if (id == IDC_PROPS_SYNC_PASSWORD && (code == EN_SETFOCUS || code == EN_KILLFOCUS)) {
      // Shown while it is being typed, masked otherwise.
      ::SendDlgItemMessageW(hwnd, id, EM_SETPASSWORDCHAR, code == EN_SETFOCUS ? 0 : kMask, 0);
      ::InvalidateRect(::GetDlgItem(hwnd, id), nullptr, TRUE);
    }
  } else if (id == IDC_PROPS_SYNC_HELP) {
    ModalScope modal(app_);
    ::MessageBoxW(app_.MainWindowHandle(),
                  L"同步ID最多64位，如果ID已被其他用户使用，会提示错误码#1；\r\n"
                  L"不同便利贴也不允许同步ID相同，否则会提示错误码#2；\r\n"
                  L"软件启动后即会立即开始同步，而且是同步是实时的；\r\n"
                  L"改变设置需要点击立即生效，否则在下次启动时生效。\r\n"
                  L"需要暂停同步可在ID前加一个英文\"!\"号，然后点击立即生效；",
                  L"网络同步说明", MB_OK);
  } else if (id == IDC_PROPS_SYNC_APPLY) {
    ApplySync();
  }
}

INT_PTR PropertiesPage::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      OnInit();
      return TRUE;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_DESTROY:
      ready_ = false;
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace vellumo::shell
