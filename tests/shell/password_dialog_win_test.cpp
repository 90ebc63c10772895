// The password dialog (111) and the server address dialog (144) under Wine,
// driven through their controls from the main window's commands, with the
// message boxes answered by a timer.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "model/items.h"
#include "model/notes.h"
#include "notes/note_window.h"
#include "platform/codepage.h"
#include "protect/recovery_string.h"
#include "protect/secret_content.h"
#include "resources/resource.h"
#include "shell/app.h"
#include "shell/main_window.h"
#include "shell/management_dialog.h"
#include "store/record_keys.h"
#include "store/server_address.h"
#include "support/message_box_answerer.h"
#include "support/temp_dir.h"

namespace vellumo::shell {
namespace {

using Boxes = std::vector<std::wstring>;
using Bytes = std::vector<std::uint8_t>;

const std::wstring kWrongPassword = L"错误:输入密码不正确!";
const std::wstring kResetToEmpty = L"提示:密码已重置为空，请及时修改密码！";
const std::wstring kNewWarning =
    L"警告:更换密码恢复字串需要将原有的加密数据全部重新解密再加密，中途如有错误意外中断，会造成数据丢失！"
    L"建议先备份数据库再继续！\r\n是否继续？";
const std::wstring kGivenWarning =
    L"警告:如果密码恢复字串有误，原有加密数据将全部乱码！此时不要修改和保存这些乱码数据，"
    L"再次使用正确的密码恢复字串可还原。\r\n是否继续？";
const std::wstring kClearWarning = L"警告:如果强制清除密码，原有加密数据将全部乱码！\r\n是否继续？";
const std::wstring kNewDone = L"提示:密码恢复字串已完成更换！密码已重置为空密码，请及时修改密码！";
const std::wstring kShowNotice =
    L"提示:密码恢复字串可以安全地把密码重置为空，而不会丢失加密数据。\r\n建议打印备份在安全的地方，小心不要泄露！";

class PasswordDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MSG quit;
    while (::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    LoadResources(app, ::GetModuleHandleW(nullptr));
    app.windowClass += L"/password-test";
    ASSERT_TRUE(RegisterMainWindowClass(app) || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS);
    if (!CreateMainWindow(app)) GTEST_SKIP() << "Wine has no display driver here: windows cannot be created";
    ::KillTimer(app.MainWindowHandle(), 0);
    app.database = std::make_unique<Ku>();
    ASSERT_EQ(app.database->OpenFiles(dir / "p.ku", dir / "p.hs"), OpenResult::Created);
    app.context.database = app.database.get();
    app.protection = std::make_unique<protect::ContentProtection>(*app.database);
    app.context.protection = app.protection.get();
    app.itemOperations =
        std::make_unique<model::ItemOperations>(*app.database, app.messages, *app.syncHooks, app.context.appMutex);
    app.context.items = app.itemOperations.get();
    app.context.instance = ::GetModuleHandleW(nullptr);
    app.context.screenWidth = ::GetSystemMetrics(SM_CXSCREEN) - 2;
    app.context.screenHeight = ::GetSystemMetrics(SM_CYSCREEN) - 2;
    ASSERT_TRUE(app.protection->UnlockAtStart());
    Ku& db = *app.database;
    work = model::CreateNote(db, u"工作");
    hidden = model::CreateNote(db, u"!私人");
    std::u16string stored;
    ASSERT_EQ(protect::StoredSecretContent(kSecret, *app.protection, stored), protect::StoreContentError::kOk);
    secretItem = app.itemOperations->CreateItem(work, u"登录", stored, false);
    plainItem = app.itemOperations->CreateItem(work, u"记事", u"plain text", false);
    ASSERT_NE(CreateManagementDialog(app, app.MainWindowHandle()), nullptr);
    Pump();
  }
  void TearDown() override {
    if (app.MainWindowHandle()) ::DestroyWindow(app.MainWindowHandle());
    Pump();
  }

  void Pump() {
    MSG m;
    while (::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE))
      if (m.message != WM_QUIT && !PreTranslate(app, m)) ::DispatchMessageW(&m);
  }
  // Command 32794 as the menus and the other windows post it.
  HWND Open(HWND owner = nullptr) {
    ::PostMessageW(app.MainWindowHandle(), WM_COMMAND, IDM_PASSWORD, reinterpret_cast<LPARAM>(owner));
    Pump();
    return app.PasswordDialogHandle();
  }
  void Type(int id, const std::wstring& text) { ::SetDlgItemTextW(app.PasswordDialogHandle(), id, text.c_str()); }
  std::wstring Text(int id) {
    wchar_t text[600] = {};
    ::GetDlgItemTextW(app.PasswordDialogHandle(), id, text, 600);
    return text;
  }
  std::wstring Caption() {
    wchar_t text[100] = {};
    ::GetWindowTextW(app.PasswordDialogHandle(), text, 100);
    return text;
  }
  // A click on a button; the boxes it shows are answered with `answer`.
  Boxes Press(int id, int answer = IDOK) { return Press(id, std::vector<int>{answer}); }
  Boxes Press(int id, std::vector<int> answers) {
    testing::MessageBoxAnswerer answerer(std::move(answers));
    const HWND dialog = app.PasswordDialogHandle();
    ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
    Pump();
    return testing::MessageBoxAnswerer::Seen();
  }
  // The password set as the dialog would, without it.
  void SetPassword(const std::u16string& password) {
    const protect::PasswordKey empty = protect::DerivePasswordKey(u"");
    const protect::PasswordKey key = protect::DerivePasswordKey(password);
    ASSERT_TRUE(app.protection->RewrapContentKey(&empty, &key));
  }
  // Whether the stored record opens with a password, asked of a protection
  // object of its own so that the program's state stays as it is.
  bool Opens(const std::u16string& password) {
    protect::ContentProtection other(*app.database);
    return other.UnlockWithPassword(protect::DerivePasswordKey(password), protect::RecordCreation::kLeaveAbsent) ==
           protect::UnlockOutcome::kUnlocked;
  }
  Bytes Record() {
    Bytes value;
    (void)app.database->GetValue(record_keys::kPasswordKey, &value);
    return value;
  }
  std::string RecoveryString() {
    protect::ContentKey key{};
    EXPECT_TRUE(app.protection->RevealContentKey(key));
    return protect::FormatRecoveryString(key);
  }
  std::u16string SecretShown() {
    return protect::PlainSecretContent(model::GetItemContent(*app.database, work, secretItem), *app.protection);
  }
  std::vector<std::wstring> Listed() {
    std::vector<std::wstring> names;
    const HWND list = ::GetDlgItem(app.ManagementDialogHandle(), IDC_NOTE_LIST);
    const LRESULT count = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      wchar_t text[128] = {};
      ::SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
      names.push_back(text);
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  bool Unlocked() { return app.protection->IsUnlocked(); }

  const std::u16string kSecret = u"<k>secret 密文";
  testing::TempDir dir;
  App app;
  std::uint32_t work = 0, hidden = 0, secretItem = 0, plainItem = 0;
};

TEST_F(PasswordDialogTest, OneTopMostDialogOwnedByTheAskingWindow) {
  const HWND asking = ::CreateWindowExW(0, L"STATIC", L"asking", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, nullptr,
                                        nullptr, app.context.instance, nullptr);
  const HWND dialog = Open(asking);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(::GetWindow(dialog, GW_OWNER), asking);
  EXPECT_TRUE(::IsWindowVisible(dialog));
  EXPECT_NE(::GetWindowLongPtrW(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  EXPECT_EQ(::GetFocus(), ::GetDlgItem(dialog, IDC_PASSWORD_BOX));
  EXPECT_EQ(Caption(), L"便利贴密码（已解锁）");
  EXPECT_EQ(Text(IDOK), L"立即锁定");
  EXPECT_EQ(Open(), dialog) << "at most one dialog";
  ::SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  EXPECT_FALSE(::IsWindow(dialog));
  EXPECT_EQ(app.PasswordDialogHandle(), nullptr);
  EXPECT_TRUE(Unlocked()) << "closing is no lock";

  const HWND again = Open();
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(::GetWindow(again, GW_OWNER), app.MainWindowHandle());
  ::DestroyWindow(asking);
}

TEST_F(PasswordDialogTest, LockingTellsWhetherThePasswordWasNeeded) {
  struct Case {
    std::wstring typed;
    std::wstring told;
  };
  const Case cases[] = {{L"", L"提示:加密的数据锁定完成！"}, {L"anything", L"提示:锁定完成！（锁定无须密码）"}};
  for (const Case& c : cases) {
    ASSERT_TRUE(app.protection->UnlockAtStart());
    ::PostMessageW(app.ManagementDialogHandle(), WM_MGMT_RELOAD, 0, 0);
    ASSERT_NE(Open(), nullptr);
    EXPECT_EQ(Listed(), (std::vector<std::wstring>{L"!私人", L"工作"}));
    Type(IDC_PASSWORD_BOX, c.typed);
    EXPECT_EQ(Press(IDOK), Boxes{c.told}) << c.typed;
    EXPECT_FALSE(Unlocked());
    EXPECT_EQ(app.PasswordDialogHandle(), nullptr) << "the dialog closes after a lock";
    EXPECT_EQ(Listed(), std::vector<std::wstring>{L"工作"}) << "the list was reloaded";
  }
}

TEST_F(PasswordDialogTest, UnlockWithAWrongAndWithTheRightPassword) {
  SetPassword(u"密码pw");
  app.protection->LockContent();
  const HWND dialog = Open();
  EXPECT_EQ(Caption(), L"便利贴密码");
  EXPECT_EQ(Text(IDOK), L"解锁");
  for (const std::wstring wrong : {L"", L"密码pW", L"密码pw "}) {
    Type(IDC_PASSWORD_BOX, wrong);
    EXPECT_EQ(Press(IDOK), Boxes{kWrongPassword}) << wrong;
    EXPECT_FALSE(Unlocked());
    EXPECT_EQ(app.PasswordDialogHandle(), dialog) << "the dialog stays for another try";
    EXPECT_EQ(::GetFocus(), ::GetDlgItem(dialog, IDC_PASSWORD_BOX));
  }
  Type(IDC_PASSWORD_BOX, L"密码pw");
  EXPECT_EQ(Press(IDOK), Boxes{});
  EXPECT_TRUE(Unlocked());
  EXPECT_EQ(app.PasswordDialogHandle(), nullptr);
  EXPECT_EQ(Listed(), (std::vector<std::wstring>{L"!私人", L"工作"}));
  EXPECT_EQ(SecretShown(), kSecret);
}

TEST_F(PasswordDialogTest, ChangingThePassword) {
  ASSERT_NE(Open(), nullptr);
  const Bytes before = Record();

  // The repeat differs: nothing is checked or changed.
  Type(IDC_PASSWORD_NEW, L"neu");
  Type(IDC_PASSWORD_REPEAT, L"new");
  EXPECT_EQ(Press(IDC_PASSWORD_CHANGE), Boxes{L"错误:复验密码不一致!"});
  EXPECT_EQ(::GetFocus(), ::GetDlgItem(app.PasswordDialogHandle(), IDC_PASSWORD_REPEAT));
  // Both empty asks first; Cancel stops.
  Type(IDC_PASSWORD_NEW, L"");
  Type(IDC_PASSWORD_REPEAT, L"");
  EXPECT_EQ(Press(IDC_PASSWORD_CHANGE, IDCANCEL), Boxes{L"安全提示:确定要设置为空密码?"});
  EXPECT_EQ(Record(), before);
  EXPECT_TRUE(Unlocked());

  // A wrong current password leaves the program locked.
  Type(IDC_PASSWORD_BOX, L"not it");
  Type(IDC_PASSWORD_NEW, L"新的");
  Type(IDC_PASSWORD_REPEAT, L"新的");
  EXPECT_EQ(Press(IDC_PASSWORD_CHANGE), Boxes{kWrongPassword});
  EXPECT_EQ(Record(), before);
  EXPECT_FALSE(Unlocked());
  EXPECT_EQ(Caption(), L"便利贴密码");
  EXPECT_EQ(Text(IDOK), L"解锁");
  EXPECT_EQ(Listed(), std::vector<std::wstring>{L"工作"}) << "a failed check locks, and the list follows";

  Type(IDC_PASSWORD_BOX, L"");
  EXPECT_EQ(Press(IDC_PASSWORD_CHANGE), Boxes{L"提示:密码修改成功!"});
  EXPECT_TRUE(Unlocked());
  EXPECT_EQ(Caption(), L"便利贴密码（已解锁）");
  EXPECT_EQ(Text(IDC_PASSWORD_BOX), L"");
  EXPECT_TRUE(Opens(u"新的"));
  EXPECT_FALSE(Opens(u""));
  EXPECT_EQ(SecretShown(), kSecret) << "the content key stays";

  // Back to the empty password, after the question.
  Type(IDC_PASSWORD_BOX, L"新的");
  Type(IDC_PASSWORD_NEW, L"");
  Type(IDC_PASSWORD_REPEAT, L"");
  EXPECT_EQ(Press(IDC_PASSWORD_CHANGE), (Boxes{L"安全提示:确定要设置为空密码?", L"提示:密码修改成功!"}));
  EXPECT_TRUE(Opens(u""));
}

TEST_F(PasswordDialogTest, ShowingTheRecoveryStringNeedsThePassword) {
  SetPassword(u"pw");
  ASSERT_NE(Open(), nullptr);
  Type(IDC_PASSWORD_BOX, L"wrong");
  EXPECT_EQ(Press(IDC_PASSWORD_SHOW), Boxes{kWrongPassword});
  EXPECT_EQ(Text(IDC_PASSWORD_RECOVERY), L"");
  EXPECT_FALSE(Unlocked());

  Type(IDC_PASSWORD_BOX, L"pw");
  EXPECT_EQ(Press(IDC_PASSWORD_SHOW), Boxes{kShowNotice});
  const std::wstring shown = Text(IDC_PASSWORD_RECOVERY);
  const std::string expected = RecoveryString();
  EXPECT_EQ(shown, std::wstring(expected.begin(), expected.end()));
  EXPECT_EQ(shown.size(), 64u);
  EXPECT_EQ(shown.find_first_not_of(L"0123456789abcdef"), std::wstring::npos);
  EXPECT_EQ(Text(IDC_PASSWORD_BOX), L"");
  EXPECT_NE(app.PasswordDialogHandle(), nullptr) << "the dialog stays open";
}

TEST_F(PasswordDialogTest, RecoveringWithTheShownStringKeepsEncryptedItems) {
  const std::string recovery = RecoveryString();
  SetPassword(u"forgotten");
  app.protection->LockContent();
  ASSERT_NE(Open(), nullptr);
  Type(IDC_PASSWORD_RECOVERY, std::wstring(recovery.begin(), recovery.end()));
  const Bytes before = Record();
  EXPECT_EQ(Press(IDC_PASSWORD_RECOVER, IDCANCEL), Boxes{kGivenWarning});
  EXPECT_EQ(Record(), before);
  EXPECT_FALSE(Unlocked());

  EXPECT_EQ(Press(IDC_PASSWORD_RECOVER), (Boxes{kGivenWarning, kResetToEmpty}));
  EXPECT_TRUE(Unlocked());
  EXPECT_EQ(Text(IDC_PASSWORD_RECOVERY), L"");
  EXPECT_EQ(Caption(), L"便利贴密码（已解锁）");
  EXPECT_TRUE(Opens(u""));
  EXPECT_EQ(SecretShown(), kSecret);
  EXPECT_EQ(RecoveryString(), recovery);
  EXPECT_EQ(Listed(), (std::vector<std::wstring>{L"!私人", L"工作"})) << "the recovery unlocked";
}

TEST_F(PasswordDialogTest, ClearMakesANewKeyUntilTheOldStringComesBack) {
  const std::string oldRecovery = RecoveryString();
  SetPassword(u"forgotten");
  app.protection->LockContent();
  ASSERT_NE(Open(), nullptr);
  Type(IDC_PASSWORD_BOX, L"typed");
  Type(IDC_PASSWORD_RECOVERY, L"clear");
  EXPECT_EQ(Press(IDC_PASSWORD_RECOVER, IDCANCEL), Boxes{kClearWarning});
  EXPECT_FALSE(Unlocked());
  EXPECT_EQ(Press(IDC_PASSWORD_RECOVER), (Boxes{kClearWarning, kResetToEmpty}));
  EXPECT_TRUE(Unlocked());
  EXPECT_EQ(Text(IDC_PASSWORD_RECOVERY), L"");
  EXPECT_TRUE(Opens(u"")) << "the password is empty, as the message says";
  EXPECT_FALSE(Opens(u"typed"));
  EXPECT_NE(RecoveryString(), oldRecovery);
  EXPECT_NE(SecretShown(), kSecret);

  Type(IDC_PASSWORD_RECOVERY, std::wstring(oldRecovery.begin(), oldRecovery.end()));
  EXPECT_EQ(Press(IDC_PASSWORD_RECOVER), (Boxes{kGivenWarning, kResetToEmpty}));
  EXPECT_EQ(SecretShown(), kSecret);
}

TEST_F(PasswordDialogTest, NewReencryptsEveryItemToANewKey) {
  SetPassword(u"pw");
  const std::string oldRecovery = RecoveryString();
  const std::u16string storedBefore = model::GetItemContent(*app.database, work, secretItem);
  ASSERT_NE(Open(), nullptr);

  // A wrong password: nothing is re-encrypted.
  Type(IDC_PASSWORD_BOX, L"wrong");
  Type(IDC_PASSWORD_RECOVERY, L"new");
  EXPECT_EQ(Press(IDC_PASSWORD_RECOVER), (Boxes{kNewWarning, kWrongPassword}));
  EXPECT_EQ(model::GetItemContent(*app.database, work, secretItem), storedBefore);
  EXPECT_FALSE(Unlocked());

  // Cancel at the second question: nothing either.
  Type(IDC_PASSWORD_BOX, L"pw");
  EXPECT_EQ(Press(IDC_PASSWORD_RECOVER, {IDOK, IDCANCEL}),
            (Boxes{kNewWarning, L"提示:将随机生成新的密码恢复字串！请再次确认是否继续？"}));
  EXPECT_EQ(model::GetItemContent(*app.database, work, secretItem), storedBefore);

  Type(IDC_PASSWORD_BOX, L"pw");
  EXPECT_EQ(Press(IDC_PASSWORD_RECOVER),
            (Boxes{kNewWarning, L"提示:将随机生成新的密码恢复字串！请再次确认是否继续？", kNewDone}));
  const std::string randomRecovery = RecoveryString();
  EXPECT_NE(randomRecovery, oldRecovery);
  EXPECT_NE(model::GetItemContent(*app.database, work, secretItem), storedBefore);
  EXPECT_EQ(SecretShown(), kSecret);
  EXPECT_TRUE(Opens(u""));

  const std::string chosen = "00112233445566778899aabbccddeeff0123456789abcdef0f1e2d3c4b5a6978";
  Type(IDC_PASSWORD_BOX, L"");
  Type(IDC_PASSWORD_RECOVERY, L"new" + std::wstring(chosen.begin(), chosen.end()));
  EXPECT_EQ(Press(IDC_PASSWORD_RECOVER),
            (Boxes{kNewWarning, L"提示:将更换为指定密码恢复字串！请再次确认是否继续？", kNewDone}));
  EXPECT_EQ(RecoveryString(), chosen);
  EXPECT_EQ(SecretShown(), kSecret);
  EXPECT_EQ(model::GetItemContent(*app.database, work, plainItem), u"plain text");
}

TEST_F(PasswordDialogTest, RecoveryTextsOfTheWrongLengthAreRefused) {
  const std::wstring kNewLength = L"错误:“new”加上密码恢复字串64字节，应该是67字节！";
  const std::wstring kLength = L"错误:密码恢复字串的长度应该是64字节！";
  const std::wstring digits = L"00112233445566778899aabbccddeeff0123456789abcdef0f1e2d3c4b5a6978";
  struct Case {
    std::wstring text;
    Boxes told;
  };
  const Case cases[] = {
      {L"new" + digits.substr(1), {kNewWarning, kNewLength}},
      {L"new" + digits + L"0", {kNewWarning, kNewLength}},
      {L"newer", {kNewWarning, kNewLength}},
      {L"clea", {kLength}},
      {L"clear ", {kLength}},
      {digits.substr(1), {kLength}},
      {digits + L"0", {kLength}},
      {L"", {kLength}},
      // One Chinese character is two bytes: 62 digits and 中 are 64 bytes.
      {digits.substr(2) + L"中", {kGivenWarning}},
  };
  ASSERT_NE(Open(), nullptr);
  const Bytes before = Record();
  const std::string recovery = RecoveryString();
  for (const Case& c : cases) {
    Type(IDC_PASSWORD_RECOVERY, c.text);
    const int answer = c.told.back() == kGivenWarning ? IDCANCEL : IDOK;
    EXPECT_EQ(Press(IDC_PASSWORD_RECOVER, answer), c.told) << c.text;
    EXPECT_EQ(Record(), before) << c.text;
    EXPECT_EQ(RecoveryString(), recovery) << c.text;
  }
}

TEST_F(PasswordDialogTest, LockingClosesHiddenNotesAndDecryptedEditors) {
  ASSERT_EQ(notes::OpenNoteWindow(app.context, work), work);
  ASSERT_EQ(notes::OpenNoteWindow(app.context, hidden), hidden);
  app.editors.Open(app.context, app.insertMenu, work, secretItem, false);
  app.editors.Open(app.context, app.insertMenu, work, plainItem, true);
  Pump();
  ASSERT_EQ(app.editors.OpenCount(), 2u);
  auto shown = [&](std::uint32_t note) {
    const auto& windows = app.context.noteWindows.Windows();
    return std::any_of(windows.begin(), windows.end(), [&](const auto& w) {
      return w->noteId == note && !w->closed && ::IsWindowVisible(w->hwnd);
    });
  };
  ASSERT_TRUE(shown(hidden));

  ASSERT_NE(Open(), nullptr);
  (void)Press(IDOK);
  EXPECT_FALSE(Unlocked());
  EXPECT_FALSE(shown(hidden));
  EXPECT_TRUE(shown(work));
  ASSERT_EQ(app.editors.OpenCount(), 1u);
  EXPECT_EQ(app.editors.Newest()->Item(), plainItem);

  // Opening the hidden note while locked asks for the password.
  (void)notes::OpenNoteWindow(app.context, hidden);
  Pump();
  EXPECT_NE(app.PasswordDialogHandle(), nullptr);
}

// The server address dialog is modal: a timer does what the user would.
struct ServerDialogScript {
  std::wstring shownAtStart;
  const wchar_t* typed = nullptr;  // null: Cancel
};
ServerDialogScript* script = nullptr;

void CALLBACK DriveServerDialog(HWND, UINT, UINT_PTR timer, DWORD) noexcept {
  const HWND dialog = ::FindWindowW(L"#32770", L"设置同步服务器地址");
  if (!dialog || !::IsWindowVisible(dialog)) return;
  ::KillTimer(nullptr, timer);
  wchar_t text[300] = {};
  ::GetDlgItemTextW(dialog, IDC_SERVER_ADDRESS_EDIT, text, 300);
  script->shownAtStart = text;
  if (script->typed) {
    ::SetDlgItemTextW(dialog, IDC_SERVER_ADDRESS_EDIT, script->typed);
    ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  } else {
    ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  }
}

struct CountingSubsystems : LaterSubsystems {
  int addressChanges = 0;
  void ServerAddressChanged() override { ++addressChanges; }
  bool SyncAvailable() override { return true; }
};

TEST_F(PasswordDialogTest, TheServerAddressIsStoredAndTakesEffectAtOnce) {
  auto counting = std::make_unique<CountingSubsystems>();
  CountingSubsystems& later = *counting;
  app.later = std::move(counting);
  struct Step {
    const wchar_t* typed;
    std::wstring shownAtStart;
    std::wstring stored;
    int changes;
  };
  const Step steps[] = {
      {L"同步.example:8002", L"", L"同步.example:8002", 1},
      {nullptr, L"同步.example:8002", L"同步.example:8002", 1},  // Cancel keeps it
      {L"10.0.0.7:9000", L"同步.example:8002", L"10.0.0.7:9000", 2},
      {L"", L"10.0.0.7:9000", L"", 3},  // emptied: removed, the default server again
  };
  for (const Step& step : steps) {
    ServerDialogScript s{L"?", step.typed};
    script = &s;
    ::SetTimer(nullptr, 0, 30, &DriveServerDialog);
    EXPECT_TRUE(app.mainWindow->OnCommand(IDM_SERVER_ADDRESS));
    script = nullptr;
    EXPECT_EQ(s.shownAtStart, step.shownAtStart);
    // Stored as ANSI text: the record reads back through the code page.
    const std::u16string wide = platform::AnsiToWide(StoredServerAddress(*app.database));
    EXPECT_EQ(std::wstring(wide.begin(), wide.end()), step.stored);
    EXPECT_EQ(later.addressChanges, step.changes);
  }
  Bytes raw;
  (void)app.database->GetValue(record_keys::kServerAddressKey, &raw);
  EXPECT_TRUE(raw.empty());
}

}  // namespace
}  // namespace vellumo::shell
