// The pointer in a real note window under Wine: the pointer is placed with
// SetCursorPos and the button messages are sent as the system would.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/appearance.h"
#include "model/item_operations.h"
#include "model/items.h"
#include "model/notes.h"
#include "notes/note_layout.h"
#include "notes/note_window.h"
#include "notes/program_context.h"
#include "support/temp_dir.h"

namespace vellumo::notes {
namespace {

using model::AppearanceBlock;
namespace field = model::note_field;

struct Commands : NoteCommands {
  std::vector<std::string> log;
  void ExecuteItem(std::uint32_t note, std::uint32_t item) override {
    log.push_back("run " + std::to_string(note) + " " + std::to_string(item));
  }
  void OpenItemEditor(std::uint32_t note, std::uint32_t item, bool) override {
    log.push_back("edit " + std::to_string(note) + " " + std::to_string(item));
  }
  void ToggleManagementWindow(std::uint32_t note) override { log.push_back("manage " + std::to_string(note)); }
  void CaptureToItem(std::uint32_t note) override { log.push_back("capture " + std::to_string(note)); }
  void CaptureToEditor(HWND, int) override {}
};

class NotePointer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(db.OpenFiles(dir / "p.ku", dir / "p.hs"), OpenResult::Created);
    context.instance = ::GetModuleHandleW(nullptr);
    context.database = &db;
    context.commands = &commands;
    context.mainWindow = ::CreateWindowExW(0, L"STATIC", L"main", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                           context.instance, nullptr);
    if (!context.mainWindow) GTEST_SKIP() << "Wine has no display driver here: windows cannot be created";
    context.screenWidth = ::GetSystemMetrics(SM_CXSCREEN) - 2;
    context.screenHeight = ::GetSystemMetrics(SM_CYSCREEN) - 2;
    context.interfaceClock = ::GetTickCount();
  }
  void TearDown() override {
    CloseAllNoteWindows(context);
    if (context.mainWindow) ::DestroyWindow(context.mainWindow);
    context.mainWindow = nullptr;
  }

  // A 220 x 200 note at (100, 100) with a 20-pixel title bar and rows of
  // 24 pixels, opened; `items` items titled A, B, ...
  KIzMTk* Open(int items, std::uint32_t behaviour = 0) {
    const std::uint32_t note = model::CreateNote(db, u"便利贴");
    AppearanceBlock block = model::LegacyAppearance(db, note);
    block.SetU32(AppearanceBlock::kBehaviourFlags, behaviour | model::behaviour_flag::kRememberPosition);
    block.SetU16(AppearanceBlock::kTitleBarHeight, 20);
    block.SetU16(AppearanceBlock::kItemHeight, 24);
    block.SetU16(AppearanceBlock::kItemWidth, 200);
    EXPECT_EQ(model::PutNoteBytes(db, note, field::kOwnAppearance, block.bytes.data(), 192), 0);
    for (const auto& [f, v] : {std::pair{field::kWindowX, 100}, {field::kWindowY, 100}, {field::kWindowWidth, 220},
                              {field::kWindowHeight, 200}})
      EXPECT_EQ(model::PutNoteU32(db, note, f, static_cast<std::uint32_t>(v)), 0);
    model::ItemOperations operations(db, notifier, sync, context.appMutex);
    for (int i = 0; i < items; ++i)
      ids.push_back(operations.CreateItem(note, std::u16string(1, static_cast<char16_t>(u'A' + i)), u"文本", false));
    if (OpenNoteWindow(context, note) != note) return nullptr;
    return context.noteWindows.Windows().back().get();
  }

  // Client point of the middle of cell `index` (one column).
  static POINT Cell(int index) { return {100, 21 + 1 + 24 * index + 12}; }

  void Move(KIzMTk* w, POINT client) {
    POINT screen = client;
    ::ClientToScreen(w->hwnd, &screen);
    ::SetCursorPos(screen.x, screen.y);
    ::SendMessageW(w->hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(client.x, client.y));
  }
  // Enter the window the way a person does: a few real moves arm tracking
  // and let the highlight follow.
  void Enter(KIzMTk* w, POINT client) {
    Move(w, {client.x - 2, client.y});
    Move(w, {client.x - 1, client.y});
    Move(w, client);
  }
  void Press(KIzMTk* w, bool right) {
    ::SendMessageW(w->hwnd, right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, 0, 0);
  }
  void Release(KIzMTk* w, bool right) { ::SendMessageW(w->hwnd, right ? WM_RBUTTONUP : WM_LBUTTONUP, 0, 0); }
  void Click(KIzMTk* w, POINT client, bool right = false) {
    Enter(w, client);
    Press(w, right);
    Release(w, right);
  }

  std::string Ran(int index) { return "run " + std::to_string(context.noteWindows.Windows()[0]->noteId) + " " +
                                      std::to_string(ids[static_cast<std::size_t>(index)]); }

  testing::TempDir dir;
  Ku db;
  ProgramContext context;
  Commands commands;
  std::vector<std::uint32_t> ids;
  struct : model::ModelNotifier {
    void ShowMessage(std::u16string_view, std::u16string_view) override {}
  } notifier;
  model::ItemSyncHooks sync;
};

TEST_F(NotePointer, AClickRunsTheItemAndHidesTheWindowUnlessItIsKeptOpen) {
  for (const std::uint32_t behaviour : {0u, model::behaviour_flag::kNoAutoClose}) {
    KIzMTk* w = Open(3, behaviour);
    ASSERT_NE(w, nullptr);
    commands.log.clear();
    Click(w, Cell(1));
    ASSERT_EQ(commands.log.size(), 1u);
    EXPECT_EQ(commands.log[0], "run " + std::to_string(w->noteId) + " " + std::to_string(ids[1]));
    EXPECT_EQ(w->closed, behaviour == 0 ? 1 : 0);
    CloseAllNoteWindows(context);
    ids.clear();
  }
}

TEST_F(NotePointer, APressHeldForASecondRunsNothing) {
  KIzMTk* w = Open(3);
  ASSERT_NE(w, nullptr);
  Enter(w, Cell(0));
  Press(w, false);
  ::Sleep(1050);
  Release(w, false);
  EXPECT_TRUE(commands.log.empty());
  EXPECT_EQ(w->closed, 0);
}

TEST_F(NotePointer, RightClicksEditCaptureAndManage) {
  KIzMTk* w = Open(2);
  ASSERT_NE(w, nullptr);
  const std::string note = std::to_string(w->noteId);
  Click(w, Cell(0), true);
  Click(w, Cell(4), true);   // an empty cell: a new item
  Click(w, {60, 8}, true);   // the title bar
  Click(w, {212, 100}, true);  // the right margin
  const std::vector<std::string> expected = {"edit " + note + " " + std::to_string(ids[0]), "edit " + note + " 0",
                                             "capture " + note, "manage " + note};
  EXPECT_EQ(commands.log, expected);
  EXPECT_EQ(w->closed, 0);
}

TEST_F(NotePointer, ARightClickOnTheCloseButtonClosesEveryNote) {
  KIzMTk* first = Open(1);
  KIzMTk* second = Open(1);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  Click(second, {212, 10}, true);
  EXPECT_EQ(first->closed, 1);
  EXPECT_EQ(second->closed, 1);
  ReapClosedWindows(context);
  EXPECT_EQ(NoteWindowCount(context), 0u);
}

TEST_F(NotePointer, CloseHeldAndReleasedOnPageDownPagesDown) {
  KIzMTk* w = Open(20);  // 7 rows a page
  ASSERT_NE(w, nullptr);
  ASSERT_GT(w->scrollMax, 0);
  Enter(w, {212, 10});
  Press(w, false);
  EXPECT_EQ(w->pressMode, 3);
  Move(w, {212, 200 - 23 + 5});
  Release(w, false);
  EXPECT_EQ(w->closed, 0);
  EXPECT_EQ(w->scrollPos, 1);
  Click(w, {212, 200 - 34 + 5});  // page up
  EXPECT_EQ(w->scrollPos, 0);
  Click(w, {212, 10});
  EXPECT_EQ(w->closed, 1);
}

TEST_F(NotePointer, MovingByOnePixelKeepsTheWindowAndItsNewPlace) {
  KIzMTk* w = Open(1);
  ASSERT_NE(w, nullptr);
  Enter(w, {60, 8});
  Press(w, false);
  POINT screen{160, 108};
  ::SetCursorPos(screen.x + 1, screen.y);
  ::SendMessageW(w->hwnd, WM_MOUSEMOVE, 0, 0);
  Release(w, false);
  RECT r;
  ::GetWindowRect(w->hwnd, &r);
  EXPECT_EQ(r.left, 101);
  EXPECT_EQ(w->keepOpen, 1);
  // Left alone, a kept window is only told the pointer left.
  w->leaveTick = context.interfaceClock - 700;
  w->CheckAutoHide(context.interfaceClock);
  EXPECT_EQ(w->closed, 0);
  EXPECT_EQ(w->leaveTick, 0u);
  CloseAllNoteWindows(context);
  EXPECT_EQ(model::GetNoteU32(db, 1, field::kWindowX, 0), 101u);
}

TEST_F(NotePointer, AWindowLeftAloneHidesAfterSixHundredMilliseconds) {
  KIzMTk* w = Open(1);
  ASSERT_NE(w, nullptr);
  const DWORD now = context.interfaceClock;
  w->leaveTick = now;
  w->CheckAutoHide(now + 600);
  EXPECT_EQ(w->closed, 0);
  w->CheckAutoHide(now + 601);
  EXPECT_EQ(w->closed, 1);
  EXPECT_FALSE(::IsWindowVisible(w->hwnd));
}

}  // namespace
}  // namespace vellumo::notes
