#include "shell/password_dialog.h"

#include <set>

#include "model/notes.h"
#include "notes/note_window.h"
#include "platform/codepage.h"
#include "protect/recovery_string.h"
#include "protect/reencrypt.h"
#include "protect/wipe_guard.h"
#include "resources/resource.h"
#include "resources/window_messages.h"
#include "shell/app.h"

namespace vellumo::shell {

namespace {

constexpr std::size_t kBoxBytes = 511;

constexpr wchar_t kCaptionUnlocked[] = L"便利贴密码（已解锁）";
constexpr wchar_t kCaptionLocked[] = L"便利贴密码";
constexpr wchar_t kWrongPassword[] = L"输入密码不正确!";
constexpr wchar_t kLockedWithText[] = L"锁定完成！（锁定无须密码）";
constexpr wchar_t kLockedEmpty[] = L"加密的数据锁定完成！";
constexpr wchar_t kRepeatDiffers[] = L"复验密码不一致!";
constexpr wchar_t kEmptyPasswordQuestion[] = L"确定要设置为空密码?";
constexpr wchar_t kPasswordChanged[] = L"密码修改成功!";
constexpr wchar_t kRecoveryNotice[] =
    L"密码恢复字串可以安全地把密码重置为空，而不会丢失加密数据。\r\n建议打印备份在安全的地方，小心不要泄露！";
constexpr wchar_t kClearWarning[] = L"如果强制清除密码，原有加密数据将全部乱码！\r\n是否继续？";
constexpr wchar_t kResetToEmpty[] = L"密码已重置为空，请及时修改密码！";
constexpr wchar_t kNewWarning[] =
    L"更换密码恢复字串需要将原有的加密数据全部重新解密再加密，中途如有错误意外中断，会造成数据丢失！"
    L"建议先备份数据库再继续！\r\n是否继续？";
constexpr wchar_t kNewRandomConfirm[] = L"将随机生成新的密码恢复字串！请再次确认是否继续？";
constexpr wchar_t kNewGivenConfirm[] = L"将更换为指定密码恢复字串！请再次确认是否继续？";
constexpr wchar_t kNewWrongLength[] = L"“new”加上密码恢复字串64字节，应该是67字节！";
constexpr wchar_t kNewDone[] = L"密码恢复字串已完成更换！密码已重置为空密码，请及时修改密码！";
constexpr wchar_t kWrongLength[] = L"密码恢复字串的长度应该是64字节！";
constexpr wchar_t kGivenWarning[] =
    L"如果密码恢复字串有误，原有加密数据将全部乱码！此时不要修改和保存这些乱码数据，"
    L"再次使用正确的密码恢复字串可还原。\r\n是否继续？";

constexpr UINT kInformation = MB_ICONINFORMATION;
constexpr UINT kError = MB_ICONERROR;
constexpr UINT kWarningQuestion = MB_ICONWARNING | MB_OKCANCEL;

}  // namespace

PasswordDialog::~PasswordDialog() {
  if (!hwnd) return;
  // The window must not call into an object that is going.
  const HWND window = hwnd;
  ::SetWindowLongPtrW(window, DWLP_USER, 0);
  hwnd = nullptr;
  ::DestroyWindow(window);
}

bool PasswordDialog::Create(HWND owner) {
  ::CreateDialogParamW(app_.context.Instance(), MAKEINTRESOURCEW(IDD_PASSWORD), owner, &DialogProcedure,
                       reinterpret_cast<LPARAM>(this));
  return hwnd != nullptr;
}

bool PasswordDialog::Unlocked() const { return app_.protection && app_.protection->IsUnlocked(); }

int PasswordDialog::Ask(const wchar_t* text, const wchar_t* caption, UINT type) {
  ModalScope modal(app_);
  return ::MessageBoxW(hwnd, text, caption, type);
}

std::string PasswordDialog::AnsiText(int id) const {
  const HWND box = ::GetDlgItem(hwnd, id);
  std::wstring wide(static_cast<std::size_t>(::GetWindowTextLengthW(box)) + 1, L'\0');
  protect::WipeGuard wipeWide(wide);
  const int length = ::GetWindowTextW(box, wide.data(), static_cast<int>(wide.size()));
  std::string ansi = platform::WideToAnsi(std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()),
                                                              static_cast<std::size_t>(length)));
  if (ansi.size() > kBoxBytes) {
    platform::SecureWipe(ansi.data() + kBoxBytes, ansi.size() - kBoxBytes);
    ansi.resize(kBoxBytes);
  }
  return ansi;
}

void PasswordDialog::ClearBox(int id) { ::SetDlgItemTextW(hwnd, id, L""); }

void PasswordDialog::OnInit() {
  RECT desktop, self;
  ::GetWindowRect(::GetDesktopWindow(), &desktop);
  ::GetWindowRect(hwnd, &self);
  ::SetWindowPos(hwnd, nullptr, (desktop.right - desktop.left - (self.right - self.left)) / 2,
                 (desktop.bottom - desktop.top - (self.bottom - self.top)) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  shownUnlocked_ = Unlocked();
  Refresh();
  ::SetFocus(::GetDlgItem(hwnd, IDC_PASSWORD_BOX));
}

void PasswordDialog::Refresh() {
  const bool unlocked = Unlocked();
  if (hwnd) {
    ::SetWindowTextW(hwnd, unlocked ? kCaptionUnlocked : kCaptionLocked);
    ::SetDlgItemTextW(hwnd, IDOK, unlocked ? L"立即锁定" : L"解锁");
  }
  if (unlocked == shownUnlocked_) return;
  shownUnlocked_ = unlocked;
  // Any change, a failed check's lock or a recovery's unlock included:
  // hidden notes come or go in the list.
  if (!unlocked) CloseWhatLockingHides(app_);
  if (HWND list = app_.ManagementDialogHandle()) ::PostMessageW(list, WM_MGMT_RELOAD, 0, 0);
}

std::optional<protect::PasswordKey> PasswordDialog::Verify() {
  std::string password = AnsiText(IDC_PASSWORD_BOX);
  protect::WipeGuard wipePassword(password);
  protect::PasswordKey key = protect::DerivePasswordKeyFromAnsi(password);
  protect::WipeGuard wipeKey(key);  // the caller's copy is made before this wipes
  if (app_.protection && app_.protection->UnlockWithPassword(key, protect::RecordCreation::kCreate) ==
                             protect::UnlockOutcome::kUnlocked)
    return key;
  Refresh();
  (void)Ask(kWrongPassword, L"错误", kError);
  if (hwnd) ::SetFocus(::GetDlgItem(hwnd, IDC_PASSWORD_BOX));
  return std::nullopt;
}

void PasswordDialog::UnlockOrLock() {
  if (!app_.protection) return;
  if (Unlocked()) {
    const bool boxHeldText = ::GetWindowTextLengthW(::GetDlgItem(hwnd, IDC_PASSWORD_BOX)) > 0;
    app_.protection->LockContent();
    Refresh();
    (void)Ask(boxHeldText ? kLockedWithText : kLockedEmpty, L"提示", kInformation);
  } else {
    std::optional<protect::PasswordKey> key = Verify();
    if (!key) return;
    protect::WipeGuard wipeKey(*key);
    Refresh();
  }
  if (hwnd) ::DestroyWindow(hwnd);
}

void PasswordDialog::ChangePassword() {
  std::string fresh = AnsiText(IDC_PASSWORD_NEW);
  protect::WipeGuard wipeFresh(fresh);
  std::string repeat = AnsiText(IDC_PASSWORD_REPEAT);
  protect::WipeGuard wipeRepeat(repeat);
  if (!fresh.empty() || !repeat.empty()) {
    if (fresh != repeat) {
      (void)Ask(kRepeatDiffers, L"错误", kError);
      ::SetFocus(::GetDlgItem(hwnd, IDC_PASSWORD_REPEAT));
      return;
    }
  } else if (Ask(kEmptyPasswordQuestion, L"安全提示", MB_ICONQUESTION | MB_OKCANCEL) != IDOK) {
    return;
  }
  std::optional<protect::PasswordKey> oldKey = Verify();
  if (!oldKey) return;
  protect::WipeGuard wipeOld(*oldKey);
  protect::PasswordKey newKey = protect::DerivePasswordKeyFromAnsi(fresh);
  protect::WipeGuard wipeNew(newKey);
  const bool changed = app_.protection->RewrapContentKey(&*oldKey, &newKey);
  ClearBox(IDC_PASSWORD_BOX);
  Refresh();
  // A record that cannot be written was reported by the store.
  if (changed) (void)Ask(kPasswordChanged, L"提示", kInformation);
}

void PasswordDialog::ShowRecoveryString() {
  std::optional<protect::PasswordKey> key = Verify();
  if (!key) return;
  protect::WipeGuard wipeKey(*key);
  Refresh();
  (void)Ask(kRecoveryNotice, L"提示", kInformation);
  protect::ContentKey contentKey{};
  protect::WipeGuard wipeContentKey(contentKey);
  if (!hwnd || !app_.protection->RevealContentKey(contentKey)) return;
  std::string text = protect::FormatRecoveryString(contentKey);
  protect::WipeGuard wipeText(text);
  std::wstring wide(text.begin(), text.end());
  protect::WipeGuard wipeWide(wide);
  ::SetDlgItemTextW(hwnd, IDC_PASSWORD_RECOVERY, wide.c_str());
  ClearBox(IDC_PASSWORD_BOX);
}

void PasswordDialog::Recover() {
  if (!app_.protection) return;
  std::string text = AnsiText(IDC_PASSWORD_RECOVERY);
  protect::WipeGuard wipeText(text);
  const protect::RecoveryRequest request = protect::ClassifyRecoveryText(text);
  switch (request) {
    case protect::RecoveryRequest::kClear: {
      if (Ask(kClearWarning, L"警告", kWarningQuestion) != IDOK) return;
      // For a forgotten password: the new one is the empty password, as the
      // closing message says, whatever the password box holds.
      const protect::PasswordKey emptyKey = protect::DerivePasswordKey(u"");
      const bool reset = app_.protection->RewrapContentKey(nullptr, &emptyKey);
      Refresh();
      if (!reset) return;
      ClearBox(IDC_PASSWORD_RECOVERY);
      (void)Ask(kResetToEmpty, L"提示", kInformation);
      return;
    }
    case protect::RecoveryRequest::kNewRandom:
    case protect::RecoveryRequest::kNewGiven:
    case protect::RecoveryRequest::kNewWrongLength:
      ReplaceKey(request, text);
      return;
    case protect::RecoveryRequest::kGiven:
      RecoverWithString(text);
      return;
    case protect::RecoveryRequest::kWrongLength:
      (void)Ask(kWrongLength, L"错误", kInformation);
      return;
  }
}

void PasswordDialog::ReplaceKey(protect::RecoveryRequest request, const std::string& recoveryText) {
  if (Ask(kNewWarning, L"警告", kWarningQuestion) != IDOK) return;
  std::optional<protect::PasswordKey> passwordKey = Verify();
  if (!passwordKey) return;
  protect::WipeGuard wipePasswordKey(*passwordKey);
  Refresh();
  if (request == protect::RecoveryRequest::kNewWrongLength) {
    (void)Ask(kNewWrongLength, L"错误", kInformation);
    return;
  }
  const bool givenKey = request == protect::RecoveryRequest::kNewGiven;
  protect::ContentKey newKey{};
  protect::WipeGuard wipeNewKey(newKey);
  if (givenKey)
    protect::DecodeRecoveryDigits(protect::RecoveryDigitsOf(recoveryText), newKey);
  else if (!protect::RandomContentKey(newKey))
    return;
  if (Ask(givenKey ? kNewGivenConfirm : kNewRandomConfirm, L"提示", kInformation | MB_OKCANCEL) != IDOK) return;
  if (!app_.database || !app_.protection->IsUnlocked()) return;
  const protect::ReplaceKeyResult result = protect::ReplaceContentKey(*app_.database, *app_.protection, newKey);
  Refresh();
  if (!result.replaced) {
    // The bodies may be under the new key already, the record still under
    // the old one: the new key is what recovers them, so it is not lost.
    std::string text = protect::FormatRecoveryString(newKey);
    protect::WipeGuard wipeText(text);
    if (hwnd) ::SetDlgItemTextA(hwnd, IDC_PASSWORD_RECOVERY, text.c_str());
    return;
  }
  (void)Ask(kNewDone, L"提示", kInformation);
}

void PasswordDialog::RecoverWithString(const std::string& recoveryText) {
  if (Ask(kGivenWarning, L"警告", kWarningQuestion) != IDOK) return;
  protect::ContentKey key{};
  protect::WipeGuard wipeKey(key);
  protect::DecodeRecoveryDigits(recoveryText, key);
  const bool recovered = app_.protection->RewrapContentKey(&key, nullptr);
  Refresh();
  if (!recovered || !hwnd) return;
  ClearBox(IDC_PASSWORD_RECOVERY);
  (void)Ask(kResetToEmpty, L"提示", kInformation);
}

INT_PTR PasswordDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      OnInit();
      return FALSE;  // the focus is set
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          UnlockOrLock();
          return TRUE;
        case IDCANCEL:
          ::DestroyWindow(hwnd);
          return TRUE;
        case IDC_PASSWORD_CHANGE:
          ChangePassword();
          return TRUE;
        case IDC_PASSWORD_SHOW:
          ShowRecoveryString();
          return TRUE;
        case IDC_PASSWORD_RECOVER:
          Recover();
          return TRUE;
        default:
          break;
      }
      break;
    default:
      break;
  }
  return FALSE;
}

void OpenPasswordDialog(App& app, HWND owner) {
  if (!::IsWindow(owner)) owner = app.MainWindowHandle();
  // A minimised owner would keep the dialog hidden with it.
  if (owner && ::IsIconic(owner)) owner = nullptr;
  if (!app.PasswordDialogHandle()) {
    app.passwordDialog = std::make_unique<PasswordDialog>(app);
    if (!app.passwordDialog->Create(owner)) return;
  }
  const HWND dialog = app.PasswordDialogHandle();
  ::SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_SHOWWINDOW | SWP_NOMOVE | SWP_NOSIZE);
  ::SetForegroundWindow(dialog);
}

void CloseWhatLockingHides(App& app) {
  notes::ProgramContext& context = app.context;
  if (context.database) {
    std::set<std::uint32_t> hidden;
    for (const auto& window : context.noteWindows.Windows())
      if (!window->closed && model::IsHiddenNoteName(model::GetNoteName(*context.database, window->noteId)))
        hidden.insert(window->noteId);
    for (const std::uint32_t note : hidden) notes::CloseNoteWindows(context, note);
  }
  app.editors.CloseShowingSecrets();
}

}  // namespace vellumo::shell
