// The management window under Wine: the filtered note list and the note
// commands, driven through dialog 107's controls.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "model/appearance.h"
#include "model/items.h"
#include "notes/note_window.h"
#include "model/notes.h"
#include "resources/resource.h"
#include "shell/app.h"
#include "shell/hotkey_table.h"
#include "shell/main_window.h"
#include "shell/management_dialog.h"
#include "support/message_box_answerer.h"
#include "support/temp_dir.h"

namespace vellumo::shell {
namespace {

class Management : public ::testing::Test {
 protected:
  void SetUp() override {
    MSG quit;
    while (::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    LoadResources(app, ::GetModuleHandleW(nullptr));
    app.windowClass += L"/management-test";
    ASSERT_TRUE(RegisterMainWindowClass(app) || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS);
    if (!CreateMainWindow(app)) GTEST_SKIP() << "Wine has no display driver here: windows cannot be created";
    ::KillTimer(app.MainWindowHandle(), 0);
    app.database = std::make_unique<Ku>();
    ASSERT_EQ(app.database->OpenFiles(dir / "m.ku", dir / "m.hs"), OpenResult::Created);
    app.context.database = app.database.get();
    app.protection = std::make_unique<protect::ContentProtection>(*app.database);
    app.context.protection = app.protection.get();
    app.itemOperations =
        std::make_unique<model::ItemOperations>(*app.database, app.messages, *app.syncHooks, app.context.appMutex);
    app.context.items = app.itemOperations.get();
    Ku& db = *app.database;
    work = model::CreateNote(db, u"工作");
    tools = model::CreateNote(db, u"工具");
    hidden = model::CreateNote(db, u"!私人");
    (void)app.itemOperations->CreateItem(tools, u"Editor", u"<a>Hello", false);
    ASSERT_TRUE(app.protection->UnlockContent());
    ASSERT_NE(CreateManagementDialog(app, app.MainWindowHandle()), nullptr);
    dialog = app.managementDialog.get();
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
  HWND Control(int id) { return ::GetDlgItem(dialog->hwnd, id); }
  std::vector<std::wstring> Listed() {
    std::vector<std::wstring> names;
    const LRESULT count = ::SendMessageW(Control(IDC_NOTE_LIST), LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      wchar_t text[128] = {};
      ::SendMessageW(Control(IDC_NOTE_LIST), LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
      names.push_back(text);
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  void Filter(const std::wstring& text) {
    ::SetDlgItemTextW(dialog->hwnd, IDC_FILTER, text.c_str());
    Pump();
  }
  void Enter() {
    ::SendMessageW(Control(IDC_FILTER), WM_CHAR, VK_RETURN, 0);
    Pump();
  }
  void Command(int id) {
    ::SendMessageW(app.MainWindowHandle(), WM_COMMAND, id, 0);
    Pump();
  }

  testing::TempDir dir;
  App app;
  ManagementDialog* dialog = nullptr;
  std::uint32_t work = 0, tools = 0, hidden = 0;
};

using Names = std::vector<std::wstring>;

TEST_F(Management, TheFilterListsByNameNumberAndItems) {
  EXPECT_EQ(Listed(), (Names{L"!私人", L"工作", L"工具"}));
  // Selecting a note clears the filter and keeps that note selected.
  Filter(L"工");
  ::SendMessageW(dialog->hwnd, WM_MGMT_SELECT_NOTE, work, 0);
  Pump();
  EXPECT_EQ(dialog->CurrentNote(), work);
  EXPECT_EQ(Listed().size(), 3u);
  Filter(L"工");
  EXPECT_EQ(Listed(), (Names{L"工作", L"工具"}));
  Filter(std::to_wstring(tools));
  EXPECT_EQ(Listed(), (Names{L"工具"}));
  Filter(L"HELLO");
  EXPECT_EQ(Listed(), Names{});
  Enter();  // titles
  EXPECT_EQ(dialog->Mode(), manager::FilterMode::Titles);
  EXPECT_EQ(Listed(), Names{});
  Enter();  // contents
  EXPECT_EQ(dialog->Mode(), manager::FilterMode::Contents);
  EXPECT_EQ(::IsDlgButtonChecked(dialog->hwnd, IDC_FILTER_CONTENTS), static_cast<UINT>(BST_CHECKED));
  EXPECT_EQ(Listed(), (Names{L"工具"}));
  EXPECT_EQ(dialog->CurrentTab(), PageTab::Items);
  Enter();  // back to none
  EXPECT_EQ(dialog->Mode(), manager::FilterMode::None);
  EXPECT_EQ(::IsDlgButtonChecked(dialog->hwnd, IDC_FILTER_TITLES), static_cast<UINT>(BST_UNCHECKED));
  EXPECT_EQ(::IsDlgButtonChecked(dialog->hwnd, IDC_FILTER_CONTENTS), static_cast<UINT>(BST_UNCHECKED));
}

TEST_F(Management, HiddenNotesLeaveTheListWhileLocked) {
  app.protection->LockContent();
  ::SendMessageW(dialog->hwnd, WM_MGMT_RELOAD, 0, 0);
  EXPECT_EQ(Listed(), (Names{L"工作", L"工具"}));
}

TEST_F(Management, NewDeleteAndClear) {
  Command(IDM_NEW_NOTE);
  const std::uint32_t created = dialog->CurrentNote();
  ASSERT_NE(created, 0u);
  EXPECT_EQ(model::GetNoteName(*app.database, created), model::DefaultNoteName(created));
  EXPECT_EQ(model::DefaultNoteName(4), u"便利贴（4）");

  // Deleting frees the note's hotkey.
  ASSERT_EQ(model::PutNoteU32(*app.database, tools, model::note_field::kHotkey, 0x0378), 0);
  app.hotkeys.SetNoteHotkeys(app.MainWindowHandle(), *app.database, true);
  ::SendMessageW(dialog->hwnd, WM_MGMT_SELECT_NOTE, tools, 0);
  ASSERT_EQ(dialog->CurrentNote(), tools);
  testing::MessageBoxAnswerer answerer(IDOK);
  Command(IDM_CLEAR_NOTE);
  EXPECT_EQ(model::ItemCount(*app.database, tools), 0u);
  EXPECT_TRUE(model::NoteExists(*app.database, tools));
  Command(IDM_DELETE_NOTE);
  EXPECT_FALSE(model::NoteExists(*app.database, tools));
  EXPECT_EQ(dialog->CurrentNote(), 0u);
  EXPECT_FALSE(::UnregisterHotKey(app.MainWindowHandle(), static_cast<int>(tools)));
  const Names asked = {L"确定清空？:工具", L"确定删除？:工具"};
  EXPECT_EQ(testing::MessageBoxAnswerer::Seen(), asked);
}

TEST_F(Management, TheItemsPageFiltersCountsAndRuns) {
  (void)app.itemOperations->CreateItem(tools, u"Second", u"<a>World", false);
  (void)app.itemOperations->CreateItem(tools, u"Secret", u"<k>CIPHERhello", false);
  app.context.commands = &app.noteCommands;
  ::SendMessageW(dialog->hwnd, WM_MGMT_SELECT_NOTE, tools, static_cast<LPARAM>(PageTab::Items));
  Pump();
  const HWND page = dialog->Page();
  ASSERT_NE(page, nullptr);
  auto count = [&] {
    wchar_t text[32] = {};
    ::GetDlgItemTextW(page, IDC_ITEMS_COUNT, text, 32);
    return std::wstring(text);
  };
  EXPECT_EQ(count(), L"3 / 3");
  ::SetDlgItemTextW(page, IDC_ITEMS_FILTER, L"HELLO");  // the encrypted text is never matched
  Pump();
  EXPECT_EQ(count(), L"1 / 3");
  ::SetDlgItemTextW(page, IDC_ITEMS_FILTER, L"");
  Pump();
  const HWND list = ::GetDlgItem(page, IDC_ITEMS_LIST);
  const std::size_t queued = app.actionQueue.Size();  // the opening at start may still wait for a tick
  ListView_SetItemState(list, 0, LVIS_SELECTED, LVIS_SELECTED);
  ::SendMessageW(page, WM_COMMAND, IDC_ITEMS_EXECUTE, 0);
  EXPECT_EQ(app.actionQueue.Size(), queued + 1);  // one typing action
  testing::MessageBoxAnswerer answerer(IDOK);
  ListView_SetItemState(list, 1, LVIS_SELECTED, LVIS_SELECTED);
  ::SendMessageW(page, WM_COMMAND, IDC_ITEMS_EXECUTE, 0);
  EXPECT_EQ(app.actionQueue.Size(), queued + 1);
  ASSERT_EQ(testing::MessageBoxAnswerer::Seen().size(), 1u);
  EXPECT_EQ(testing::MessageBoxAnswerer::Seen()[0], L"提示:不能同时执行多个项目！");
}

TEST_F(Management, ThePropertiesPageStoresEachChange) {
  ::SendMessageW(dialog->hwnd, WM_MGMT_SELECT_NOTE, work, static_cast<LPARAM>(PageTab::Main));
  Pump();
  const HWND page = dialog->Page();
  ASSERT_NE(page, nullptr);
  Ku& db = *app.database;
  wchar_t label[64] = {};
  ::GetDlgItemTextW(page, IDC_PROPS_ID, label, 64);
  EXPECT_EQ(std::wstring(label), L"ID：" + std::to_wstring(work) + L" （项目数量：0）");

  ::SetDlgItemTextW(page, IDC_PROPS_NAME, L"");  // an empty name stores and lists the default one
  Pump();
  EXPECT_EQ(model::GetNoteName(db, work), model::DefaultNoteName(work));
  const Names listed = Listed();
  EXPECT_NE(std::find(listed.begin(), listed.end(), Wide(model::DefaultNoteName(work))), listed.end());

  auto click = [&](int id) {
    ::SendDlgItemMessageW(page, id, BM_CLICK, 0, 0);
    Pump();
  };
  click(1030);  // left edge
  click(1036);  // Ctrl
  EXPECT_EQ(model::GetNoteTriggers(db, work), 0x2080u);
  click(1030);
  click(1036);
  EXPECT_EQ(model::GetNoteTriggers(db, work), 0u);

  // A hotkey another program holds: told, the box emptied, the value kept.
  const HWND other = ::CreateWindowExW(0, L"STATIC", L"other", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                       ::GetModuleHandleW(nullptr), nullptr);
  ASSERT_TRUE(::RegisterHotKey(other, 1, MOD_CONTROL | MOD_SHIFT, VK_F7));
  testing::MessageBoxAnswerer answerer(IDOK);
  ::SendDlgItemMessageW(page, IDC_PROPS_HOTKEY, HKM_SETHOTKEY, 0x0376, 0);
  ::SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_PROPS_HOTKEY, EN_CHANGE), 0);
  Pump();
  EXPECT_EQ(model::GetNoteU32(db, work, model::note_field::kHotkey, 0), 0x0376u);
  EXPECT_EQ(::SendDlgItemMessageW(page, IDC_PROPS_HOTKEY, HKM_GETHOTKEY, 0, 0), 0);
  ::UnregisterHotKey(other, 1);
  ::DestroyWindow(other);

  struct Case {
    const wchar_t* id;
    const wchar_t* password;
  };
  for (const Case c : {Case{L"", L"abc!defg"}, Case{L"!paused", L"abc!defg"}, Case{L"mine", L"abcd1234"},
                       Case{L"mine", L"abc!defg"}}) {
    ::SetDlgItemTextW(page, IDC_PROPS_SYNC_ID, c.id);
    ::SetDlgItemTextW(page, IDC_PROPS_SYNC_PASSWORD, c.password);
    ::SendMessageW(page, WM_COMMAND, IDC_PROPS_SYNC_APPLY, 0);
    Pump();
  }
  EXPECT_EQ(model::GetNoteText(db, work, model::note_field::kSyncId), u"mine");
  const Names told = {L"错误:热键注册失败", L"错误:不允许空白ID或空白密码！",
                      L"提示:此便利贴同步已关闭！\r\n（因为ID是感叹号(\"!\")开头）",
                      L"错误:密码需包含符号（或中文），长度8-64位！", L"错误:暂未连接到服务器！"};
  EXPECT_EQ(testing::MessageBoxAnswerer::Seen(), told);
}

TEST_F(Management, TheAppearancePageStoresTheLookAndKeepsSchemes) {
  Ku& db = *app.database;
  app.context.instance = ::GetModuleHandleW(nullptr);
  app.context.screenWidth = ::GetSystemMetrics(SM_CXSCREEN) - 2;
  app.context.screenHeight = ::GetSystemMetrics(SM_CYSCREEN) - 2;
  ASSERT_EQ(notes::OpenNoteWindow(app.context, work), work);
  ::SendMessageW(dialog->hwnd, WM_MGMT_SELECT_NOTE, work, static_cast<LPARAM>(PageTab::Appearance));
  Pump();
  const HWND page = dialog->Page();
  ASSERT_NE(page, nullptr);
  auto combo = [&] {
    wchar_t text[100] = {};
    ::GetDlgItemTextW(page, IDC_LOOK_SCHEME, text, 100);
    return std::wstring(text);
  };

  ::SetDlgItemTextW(page, 1005, L"600");  // beyond the range: stored as typed
  Pump();
  model::AppearanceBlock own;
  ASSERT_EQ(model::GetNoteBytes(db, work, model::note_field::kOwnAppearance, own.bytes.data(), 192), 192u);
  EXPECT_EQ(own.I16(model::AppearanceBlock::kTitleBarHeight), 600);
  EXPECT_EQ(combo(), L"(单独配置)");
  // The open window was made again with the clamped value.
  const auto& windows = app.context.noteWindows.Windows();
  const auto shown = std::find_if(windows.begin(), windows.end(), [&](const auto& w) { return !w->closed; });
  ASSERT_NE(shown, windows.end());
  EXPECT_EQ((*shown)->appearance.I16(model::AppearanceBlock::kTitleBarHeight), 512);

  ::SendDlgItemMessageW(page, 1028, BM_CLICK, 0, 0);  // 不自动关闭窗口
  Pump();
  ASSERT_EQ(model::GetNoteBytes(db, work, model::note_field::kOwnAppearance, own.bytes.data(), 192), 192u);
  EXPECT_NE(own.U32(model::AppearanceBlock::kBehaviourFlags) & model::behaviour_flag::kNoAutoClose, 0u);

  ::SetDlgItemTextW(page, IDC_LOOK_SCHEME, L"蓝色");
  ::SendMessageW(page, WM_COMMAND, IDC_LOOK_SAVE, 0);
  Pump();
  model::AppearanceBlock scheme;
  ASSERT_TRUE(model::ReadScheme(db, u"蓝色", &scheme));
  EXPECT_EQ(scheme.bytes, own.bytes);
  EXPECT_EQ(model::GetNoteText(db, work, model::note_field::kSchemeName), u"蓝色");
  EXPECT_EQ(model::GetNoteBytes(db, work, model::note_field::kOwnAppearance, nullptr, 0), 0u);

  testing::MessageBoxAnswerer answerer(IDOK);
  ::SetDlgItemTextW(page, IDC_LOOK_SCHEME, L"没有");
  ::SendMessageW(page, WM_COMMAND, IDC_LOOK_LOAD, 0);
  ::SendMessageW(page, WM_COMMAND, IDC_LOOK_DELETE, 0);
  ::SetDlgItemTextW(page, IDC_LOOK_SCHEME, L"");
  ::SendMessageW(page, WM_COMMAND, IDC_LOOK_SAVE, 0);
  ::SetDlgItemTextW(page, IDC_LOOK_SCHEME, L"蓝色");
  ::SendMessageW(page, WM_COMMAND, IDC_LOOK_DELETE, 0);
  Pump();
  EXPECT_FALSE(model::ReadScheme(db, u"蓝色", &scheme));
  const Names told = {L"加载失败:方案数据不存在！", L"删除失败:方案数据不存在！", L"错误:请选择或输入方案名称！"};
  EXPECT_EQ(testing::MessageBoxAnswerer::Seen(), told);
}

TEST(SyncErrorText, NameNumberCodeAndTheLegend) {
  const std::wstring text = SyncErrorText(u"工作", 7, 21);
  EXPECT_EQ(text.substr(0, text.find(L"\r\n")), L"便利贴名字：工作，便利贴ID：7，错误代码：#21");
  EXPECT_NE(text.find(L"#21 此同步ID存在服务端错误数据"), std::wstring::npos);
}

}  // namespace
}  // namespace vellumo::shell
