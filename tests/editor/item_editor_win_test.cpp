// The item editor under Wine: dialog 110 driven through its controls, its
// message boxes answered by a timer.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "editor/item_editor.h"
#include "model/item_operations.h"
#include "model/items.h"
#include "model/notes.h"
#include "resources/resource.h"
#include "resources/window_messages.h"
#include "support/message_box_answerer.h"
#include "support/temp_dir.h"

namespace vellumo::editor {
namespace {

struct Messages : model::ModelNotifier {
  void ShowMessage(std::u16string_view, std::u16string_view) override {}
};

class Editor : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(db.OpenFiles(dir / "e.ku", dir / "e.hs"), OpenResult::Created);
    protection = std::make_unique<protect::ContentProtection>(db);
    context.instance = ::GetModuleHandleW(nullptr);
    context.database = &db;
    context.protection = protection.get();
    context.items = &operations;
    context.mainWindow = ::CreateWindowExW(0, L"STATIC", L"main", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                           context.instance, nullptr);
    if (!context.mainWindow) GTEST_SKIP() << "Wine has no display driver here: windows cannot be created";
    note = model::CreateNote(db, u"便利贴");
    first = operations.CreateItem(note, u"甲", u"第一个 abc", false);
    second = operations.CreateItem(note, u"乙", u"第二个", false);
  }
  void TearDown() override {
    editors.CloseAll();
    if (context.mainWindow) ::DestroyWindow(context.mainWindow);
  }

  // Runs what is posted, as the program's loop would.
  void Pump() {
    MSG m;
    while (::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
      if (m.message == WM_QUIT) continue;
      if (!editors.PreTranslate(m)) ::DispatchMessageW(&m);
    }
  }
  ItemEditor* Open(std::uint32_t item, bool another = false) {
    editors.Open(context, nullptr, note, item, another);
    Pump();
    return editors.Newest();
  }
  std::wstring Text(ItemEditor* e, int id) {
    wchar_t text[40000] = {};
    ::GetDlgItemTextW(e->hwnd, id, text, 40000);
    return text;
  }
  std::wstring Caption(ItemEditor* e) {
    wchar_t text[256] = {};
    ::GetWindowTextW(e->hwnd, text, 256);
    return text;
  }
  // As a person types: the whole text replaced by the new one (a
  // multi-line box does not report WM_SETTEXT as a change).
  void Type(ItemEditor* e, int id, const std::wstring& text) {
    ::SendDlgItemMessageW(e->hwnd, id, EM_SETSEL, 0, -1);
    ::SendDlgItemMessageW(e->hwnd, id, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
    Pump();
  }
  void Press(ItemEditor* e, int id) {
    ::SendMessageW(e->hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(e->hwnd, id)));
    Pump();
  }
  bool Enabled(ItemEditor* e, int id) { return ::IsWindowEnabled(::GetDlgItem(e->hwnd, id)) != 0; }

  testing::TempDir dir;
  Ku db;
  Messages messages;
  model::ItemSyncHooks sync;
  notes::ProgramContext context;
  model::ItemOperations operations{db, messages, sync, context.appMutex};
  std::unique_ptr<protect::ContentProtection> protection;
  EditorList editors;
  std::uint32_t note = 0, first = 0, second = 0;
};

TEST_F(Editor, ShowsEditsAndSavesAnItem) {
  ItemEditor* e = Open(first);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(Text(e, IDC_EDITOR_TITLE), L"甲");
  EXPECT_EQ(Text(e, IDC_EDITOR_CONTENT), L"第一个 abc");
  EXPECT_EQ(Caption(e), L"1.1 甲 - 便利贴");
  EXPECT_FALSE(Enabled(e, IDC_EDITOR_SAVE));
  EXPECT_TRUE(Enabled(e, IDC_EDITOR_EXECUTE));
  Type(e, IDC_EDITOR_CONTENT, L"改过的");
  EXPECT_TRUE(Enabled(e, IDC_EDITOR_SAVE));
  EXPECT_FALSE(Enabled(e, IDC_EDITOR_EXECUTE));  // runs what is stored, not what is shown
  Press(e, IDC_EDITOR_SAVE);
  EXPECT_EQ(model::GetItemContent(db, note, first), u"改过的");
  EXPECT_FALSE(Enabled(e, IDC_EDITOR_SAVE));
  EXPECT_TRUE(Enabled(e, IDC_EDITOR_EXECUTE));
}

TEST_F(Editor, AnEditorWithChangesIsNotReusedUnlessAnotherIsAskedFor) {
  ItemEditor* e = Open(first);
  EXPECT_EQ(Open(second), e);  // no changes: the same editor shows the second item
  EXPECT_EQ(Text(e, IDC_EDITOR_TITLE), L"乙");
  EXPECT_EQ(editors.OpenCount(), 1u);
  Type(e, IDC_EDITOR_CONTENT, L"未保存");
  ItemEditor* other = Open(first);
  EXPECT_NE(other, e);
  EXPECT_EQ(editors.OpenCount(), 2u);
  EXPECT_EQ(Text(e, IDC_EDITOR_CONTENT), L"未保存");  // left as it was
  EXPECT_NE(Open(first, true), other);              // Shift: always a new one
  EXPECT_EQ(editors.OpenCount(), 3u);
}

TEST_F(Editor, TitleLimitsAndTheEmptyTitle) {
  testing::MessageBoxAnswerer answerer;
  ItemEditor* e = Open(first);
  Type(e, IDC_EDITOR_TITLE, std::wstring(5000, L'长'));
  Press(e, IDC_EDITOR_SAVE);
  EXPECT_EQ(model::GetItemTitle(db, note, first).size(), 5000u);
  Type(e, IDC_EDITOR_TITLE, std::wstring(5001, L'长'));
  Press(e, IDC_EDITOR_SAVE);
  Type(e, IDC_EDITOR_TITLE, L"");
  Press(e, IDC_EDITOR_SAVE);
  EXPECT_EQ(model::GetItemTitle(db, note, first).size(), 5000u);
  const std::vector<std::wstring> expected = {L"错误:标题字数不能超过 5000 。", L"错误:标题不能为空。"};
  EXPECT_EQ(testing::MessageBoxAnswerer::Seen(), expected);
}

TEST_F(Editor, ALongContentIsCutAfterAsking) {
  testing::MessageBoxAnswerer answerer(IDOK);
  ItemEditor* e = Open(first);
  Type(e, IDC_EDITOR_CONTENT, std::wstring(30721, L'x'));
  Press(e, IDC_EDITOR_SAVE);
  ASSERT_EQ(testing::MessageBoxAnswerer::Seen().size(), 1u);
  EXPECT_EQ(testing::MessageBoxAnswerer::Seen()[0], L"注意:内容长度已超出 30KB，超出部分会被截除，是否继续？");
  EXPECT_EQ(model::GetItemContent(db, note, first).size(), 30720u);
}

TEST_F(Editor, AnArrowTitleWithNoContentMakesANoteAndOpensIt) {
  ItemEditor* e = Open(0);
  EXPECT_EQ(Caption(e), L"1.新建 - 便利贴");
  Type(e, IDC_EDITOR_TITLE, L">Projects");
  Press(e, IDC_EDITOR_SAVE);
  const std::uint32_t item = e->Item();
  ASSERT_NE(item, 0u);
  const std::u16string content = model::GetItemContent(db, note, item);
  ASSERT_TRUE(content.starts_with(u"<open>"));
  const auto created = static_cast<std::uint32_t>(std::stoul(std::string(content.begin() + 6, content.end())));
  EXPECT_EQ(model::GetNoteName(db, created), u"Projects");
}

TEST_F(Editor, SecretContentsAreStoredEncryptedAndNeedThePassword) {
  ASSERT_TRUE(protection->UnlockContent());
  ItemEditor* e = Open(first);
  Type(e, IDC_EDITOR_CONTENT, L"<k>abc");
  Press(e, IDC_EDITOR_SAVE);
  const std::u16string stored = model::GetItemContent(db, note, first);
  ASSERT_TRUE(stored.starts_with(u"<k>"));
  EXPECT_NE(stored, u"<k>abc");
  EXPECT_EQ(protection->DecryptBody(stored.substr(3)), u"abc");
  editors.CloseAll();
  EXPECT_EQ(Text(Open(first), IDC_EDITOR_CONTENT), L"<k>abc");
  editors.CloseAll();

  protection->LockContent();
  MSG m;
  while (::PeekMessageW(&m, context.mainWindow, 0, 0, PM_REMOVE)) {
  }
  editors.Open(context, nullptr, note, first, false);
  EXPECT_EQ(editors.OpenCount(), 0u);
  ASSERT_TRUE(::PeekMessageW(&m, context.mainWindow, WM_COMMAND, WM_COMMAND, PM_REMOVE));
  EXPECT_EQ(LOWORD(m.wParam), IDM_PASSWORD);
}

TEST_F(Editor, ClosingEverythingOffersUnsavedChangesFirst) {
  testing::MessageBoxAnswerer answerer(IDCANCEL);
  ItemEditor* e = Open(first);
  Type(e, IDC_EDITOR_CONTENT, L"还没保存");
  EXPECT_FALSE(editors.CloseAllAsking());  // the user chose to stay
  EXPECT_EQ(editors.OpenCount(), 1u);
  testing::MessageBoxAnswerer::Answer(IDYES);
  EXPECT_TRUE(editors.CloseAllAsking());
  EXPECT_EQ(editors.OpenCount(), 0u);
  EXPECT_EQ(model::GetItemContent(db, note, first), u"还没保存");
  const std::vector<std::wstring> expected(2, L"关闭:当前有修改，是否保存？");
  EXPECT_EQ(testing::MessageBoxAnswerer::Seen(), expected);
}

// Drives the change-icon dialog from a timer inside its modal loop: picks
// the icon `pick` (or none) and presses a button.
struct IconDialogDriver {
  static inline int pick = -1;
  static inline int button = IDOK;
  static inline int listed = -1;
  static inline std::wstring path;
  static inline std::wstring typed;  // typed into the path box and entered first
  static BOOL CALLBACK Visit(HWND window, LPARAM) {
    wchar_t caption[32] = {};
    ::GetWindowTextW(window, caption, 32);
    if (std::wstring(caption) != L"改变图标") return TRUE;
    const HWND view = ::GetDlgItem(window, IDC_ICON_LIST);
    if (!typed.empty()) {
      // Enter in the path box lists that file and keeps the dialog open.
      ::SetDlgItemTextW(window, IDC_ICON_PATH, typed.c_str());
      ::SetFocus(::GetDlgItem(window, IDC_ICON_PATH));
      ::SendMessageW(window, WM_COMMAND, IDOK, 0);
      typed.clear();
    }
    listed = ListView_GetItemCount(view);
    wchar_t actual[300] = {};
    ::GetDlgItemTextW(window, IDC_ICON_ACTUAL_PATH, actual, 300);
    path = actual;
    if (pick >= 0) ListView_SetItemState(view, pick, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ::SetFocus(view);
    ::PostMessageW(window, WM_COMMAND, button, 0);
    return FALSE;
  }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) { ::EnumThreadWindows(::GetCurrentThreadId(), &Visit, 0); }
};

TEST_F(Editor, AnIconIsChosenFromTheSystemIconsAndCanBeReset) {
  ItemEditor* e = Open(first);  // plain text: its icon comes from no file
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, &IconDialogDriver::Tick);
  IconDialogDriver::pick = 3;
  IconDialogDriver::button = IDC_ICON_OK;
  Press(e, IDC_EDITOR_ICON);
  EXPECT_GT(IconDialogDriver::listed, 3);
  EXPECT_NE(IconDialogDriver::path.find(L"shell32.dll"), std::wstring::npos);
  const std::u16string stored = model::GetItemIconPath(db, note, first);
  EXPECT_EQ(std::wstring(stored.begin(), stored.end()), IconDialogDriver::path);
  EXPECT_EQ(model::GetItemIconIndex(db, note, first), 3u);

  IconDialogDriver::button = IDC_ICON_DEFAULT;
  Press(e, IDC_EDITOR_ICON);
  EXPECT_TRUE(model::GetItemIconPath(db, note, first).empty());
  ::KillTimer(nullptr, timer);
}

TEST_F(Editor, TheInsertMenuPutsTagsAtTheStartAndTokensAtTheCaret) {
  ItemEditor* e = Open(second);  // "第二个", caret at the end
  ::SendMessageW(e->hwnd, WM_COMMAND, 32844, 0);  // <cd> Ctrl按下
  ::SendMessageW(e->hwnd, WM_COMMAND, 32825, 0);  // 打开 <open>
  EXPECT_EQ(Text(e, IDC_EDITOR_CONTENT), L"<open>第二个<cd>");
  EXPECT_TRUE(Enabled(e, IDC_EDITOR_SAVE));
  Type(e, IDC_EDITOR_CONTENT, L"");
  ::SendMessageW(e->hwnd, WM_COMMAND, 32870, 0);  // 12个随机字符
  EXPECT_EQ(Text(e, IDC_EDITOR_CONTENT).size(), 12u);
}

TEST_F(Editor, IconsComeFromATypedIconOrProgramFile) {
  wchar_t program[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, program, MAX_PATH);  // linked with the program's resources: several icons
  std::wstring ico;
  wchar_t source[MAX_PATH] = {};
  if (::GetEnvironmentVariableW(L"VELLUMO_SOURCE_DIR", source, MAX_PATH) > 0) {
    ico = std::wstring(L"Z:") + source + L"/src/resources/kind_keys.ico";
    for (wchar_t& c : ico)
      if (c == L'/') c = L'\\';
  }
  struct Case {
    std::wstring file;
    int pick;
  };
  for (const Case& c : {Case{program, 1}, Case{ico, 0}}) {
    if (c.file.empty()) continue;  // run outside ctest: no source directory known
    ItemEditor* e = Open(first);
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, &IconDialogDriver::Tick);
    IconDialogDriver::typed = c.file;
    IconDialogDriver::pick = c.pick;
    IconDialogDriver::button = IDC_ICON_OK;
    Press(e, IDC_EDITOR_ICON);
    ::KillTimer(nullptr, timer);
    EXPECT_GE(IconDialogDriver::listed, c.pick + 1);
    const std::u16string stored = model::GetItemIconPath(db, note, first);
    EXPECT_EQ(std::wstring(stored.begin(), stored.end()), c.file);
    EXPECT_EQ(model::GetItemIconIndex(db, note, first), static_cast<std::uint32_t>(c.pick));
  }
}

TEST_F(Editor, SteppingPastEitherEndGivesANewItem) {
  ItemEditor* e = Open(first);
  Press(e, IDC_EDITOR_PREVIOUS);
  EXPECT_EQ(e->Item(), 0u);
  EXPECT_EQ(Text(e, IDC_EDITOR_TITLE), L"");
  Press(e, IDC_EDITOR_NEXT);  // from a new item: the lowest id
  EXPECT_EQ(e->Item(), first);
  Press(e, IDC_EDITOR_NEXT);
  EXPECT_EQ(e->Item(), second);
  Press(e, IDC_EDITOR_NEXT);
  EXPECT_EQ(e->Item(), 0u);
}

TEST_F(Editor, DeletingAsksAndShowsTheNextItem) {
  testing::MessageBoxAnswerer answerer(IDOK);
  ItemEditor* e = Open(first);
  Press(e, IDC_EDITOR_DELETE);
  EXPECT_FALSE(model::ItemExists(db, note, first));
  EXPECT_EQ(e->Item(), second);
  ASSERT_EQ(testing::MessageBoxAnswerer::Seen().size(), 1u);
  EXPECT_EQ(testing::MessageBoxAnswerer::Seen()[0], L"删除:是否确定删除？");
}

TEST_F(Editor, SearchesWrapAndSayWhenNothingIsFound) {
  testing::MessageBoxAnswerer answerer(IDOK);
  (void)operations.CreateItem(note, u"丙", u"<k>abc is never searched", false);
  ItemEditor* e = Open(first);
  Type(e, IDC_EDITOR_SEARCH, L"ABC");
  Press(e, IDC_EDITOR_FIND_CURRENT);  // the caret is at the end: wraps to the match
  DWORD start = 0, end = 0;
  ::SendDlgItemMessageW(e->hwnd, IDC_EDITOR_CONTENT, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                        reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 4u);
  EXPECT_EQ(end, 7u);
  Press(e, IDC_EDITOR_FIND_CONTENT);  // only this item's plain content holds it
  Type(e, IDC_EDITOR_SEARCH, L"甲");
  Press(e, IDC_EDITOR_FIND_TITLE);
  Type(e, IDC_EDITOR_SEARCH, L"无此");
  Press(e, IDC_EDITOR_FIND_CURRENT);
  Press(e, IDC_EDITOR_FIND_TITLE);
  const std::vector<std::wstring> expected = {L"查找非加密内容:只找到当前一项！", L"查找标题:只找到当前一项！",
                                              L"查找当前内容:没有找到！", L"查找标题:此便利贴中没有找到！"};
  EXPECT_EQ(testing::MessageBoxAnswerer::Seen(), expected);
}

}  // namespace
}  // namespace vellumo::editor
