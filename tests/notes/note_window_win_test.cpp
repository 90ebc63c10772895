// Note windows under Wine: the window list's limits and replacement, the
// appearance a window is made with, paging into cellItems, and the geometry
// stored when a window goes.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "model/appearance.h"
#include "model/item_operations.h"
#include "model/items.h"
#include "model/notes.h"
#include "notes/note_window.h"
#include "notes/program_context.h"
#include "resources/resource.h"
#include "resources/window_messages.h"
#include "support/temp_dir.h"

namespace vellumo::notes {
namespace {

using model::AppearanceBlock;
namespace field = model::note_field;

class NoteWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(db.OpenFiles(dir / "w.ku", dir / "w.hs"), OpenResult::Created);
    protection = std::make_unique<protect::ContentProtection>(db);
    ProgramContext& host = context;
    host.instance = ::GetModuleHandleW(nullptr);
    host.database = &db;
    host.protection = protection.get();
    host.mainWindow = ::CreateWindowExW(0, L"STATIC", L"main", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                        host.instance, nullptr);
    if (!host.mainWindow) GTEST_SKIP() << "Wine has no display driver here: windows cannot be created";
    host.screenWidth = ::GetSystemMetrics(SM_CXSCREEN) - 2;
    host.screenHeight = ::GetSystemMetrics(SM_CYSCREEN) - 2;
    host.interfaceClock = ::GetTickCount();
  }
  void TearDown() override {
    CloseAllNoteWindows(context);
    if (context.mainWindow) ::DestroyWindow(context.mainWindow);
    context.mainWindow = nullptr;
    protection.reset();
  }

  std::uint32_t Note(std::u16string_view name, int items = 0, std::uint32_t behaviour = 0) {
    const std::uint32_t note = model::CreateNote(db, name);
    AppearanceBlock block = model::LegacyAppearance(db, note);
    block.SetU32(AppearanceBlock::kBehaviourFlags, behaviour | model::behaviour_flag::kRememberPosition);
    EXPECT_EQ(model::PutNoteBytes(db, note, field::kOwnAppearance, block.bytes.data(), 192), 0);
    model::ItemOperations operations(db, notifier, sync, context.appMutex);
    for (int i = 0; i < items; ++i) {
      const std::u16string title = u"项" + std::u16string(1, static_cast<char16_t>(u'A' + i));
      EXPECT_NE(operations.CreateItem(note, title, u"文本", false), 0u);
    }
    return note;
  }

  KIzMTk* WindowOf(std::uint32_t note) {
    for (HWND w = nullptr; (w = ::FindWindowExW(nullptr, w, L"Vellumo", nullptr)) != nullptr;)
      if (KIzMTk* window = FindNoteWindow(context, w); window && window->noteId == note && !window->closed) return window;
    return nullptr;
  }

  testing::TempDir dir;
  Ku db;
  ProgramContext context;
  struct : model::ModelNotifier {
    void ShowMessage(std::u16string_view, std::u16string_view) override {}
  } notifier;
  model::ItemSyncHooks sync;
  std::unique_ptr<protect::ContentProtection> protection;
};

TEST_F(NoteWindows, AtMost256WindowsAndReopeningReplaces) {
  ASSERT_TRUE(protection->UnlockContent());
  std::vector<std::uint32_t> notes;
  for (int i = 0; i < 257; ++i) notes.push_back(Note(u"n" + std::u16string(1, static_cast<char16_t>(u'0' + i % 10))));
  for (int i = 0; i < 256; ++i) ASSERT_EQ(OpenNoteWindow(context, notes[i]), notes[i]) << i;
  EXPECT_EQ(OpenNoteWindow(context, notes[256]), -1);
  EXPECT_EQ(NoteWindowCount(context), 256u);
  CloseAllNoteWindows(context);
  EXPECT_EQ(NoteWindowCount(context), 0u);

  ASSERT_EQ(OpenNoteWindow(context, notes[0]), notes[0]);
  KIzMTk* first = WindowOf(notes[0]);
  ASSERT_NE(first, nullptr);
  const HWND firstWindow = first->hwnd;
  ASSERT_EQ(OpenNoteWindow(context, notes[0]), notes[0]);
  EXPECT_FALSE(::IsWindowVisible(firstWindow));
  EXPECT_EQ(NoteWindowCount(context), 2u);
  ReapClosedWindows(context);
  EXPECT_EQ(NoteWindowCount(context), 1u);
  EXPECT_FALSE(::IsWindow(firstWindow));
  EXPECT_NE(WindowOf(notes[0]), nullptr);
  EXPECT_EQ(OpenNoteWindow(context, 9999), -1);  // no such note
  EXPECT_EQ(NoteWindowCount(context), 1u);
}

TEST_F(NoteWindows, HiddenNoteWhileLockedAsksForThePassword) {
  const std::uint32_t hidden = Note(u"!秘密");
  EXPECT_EQ(OpenNoteWindow(context, hidden), -1);
  EXPECT_EQ(NoteWindowCount(context), 0u);
  MSG message;
  ASSERT_TRUE(::PeekMessageW(&message, context.mainWindow, WM_COMMAND, WM_COMMAND, PM_REMOVE));
  EXPECT_EQ(LOWORD(message.wParam), IDM_PASSWORD);
  ASSERT_TRUE(protection->UnlockContent());
  EXPECT_EQ(OpenNoteWindow(context, hidden), hidden);
}

TEST_F(NoteWindows, MinimumSizeAndStoredGeometry) {
  ASSERT_TRUE(protection->UnlockContent());
  const std::uint32_t note = Note(u"小");
  ASSERT_EQ(model::PutNoteU32(db, note, field::kWindowX, 100), 0);
  ASSERT_EQ(model::PutNoteU32(db, note, field::kWindowY, 120), 0);
  ASSERT_EQ(model::PutNoteU32(db, note, field::kWindowWidth, 20), 0);
  ASSERT_EQ(model::PutNoteU32(db, note, field::kWindowHeight, 10), 0);
  ASSERT_EQ(OpenNoteWindow(context, note), note);
  KIzMTk* window = WindowOf(note);
  ASSERT_NE(window, nullptr);
  RECT r;
  ::GetWindowRect(window->hwnd, &r);
  EXPECT_EQ(r.left, 100);
  EXPECT_EQ(r.top, 120);
  EXPECT_EQ(r.right - r.left, 40);
  EXPECT_EQ(r.bottom - r.top, 40);  // 18-pixel title bar + 22
  EXPECT_TRUE(::GetWindowLongPtrW(window->hwnd, GWL_EXSTYLE) & WS_EX_NOACTIVATE);
  EXPECT_TRUE(::GetWindowLongPtrW(window->hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
  CloseAllNoteWindows(context);
  EXPECT_EQ(model::GetNoteU32(db, note, field::kWindowWidth, 0), 40u);
  EXPECT_EQ(model::GetNoteU32(db, note, field::kWindowHeight, 0), 40u);
  EXPECT_EQ(model::GetNoteU32(db, note, field::kWindowX, 0), 100u);
}

TEST_F(NoteWindows, ChildrenInheritTheLookUnlessTheyRefuse) {
  ASSERT_TRUE(protection->UnlockContent());
  const std::uint32_t parent = Note(u"父", 0, model::behaviour_flag::kPassLookToChildren);
  AppearanceBlock parentBlock = model::LoadAppearance(db, parent);
  parentBlock.SetU32(AppearanceBlock::kBackgroundColor, 0x123456);
  ASSERT_EQ(model::PutNoteBytes(db, parent, field::kOwnAppearance, parentBlock.bytes.data(), 192), 0);
  const std::uint32_t child = Note(u"子");
  const std::uint32_t refusing = Note(u"拒", 0, model::behaviour_flag::kRefuseParentLook);
  ASSERT_EQ(OpenNoteWindow(context, parent), parent);
  const AppearanceBlock shown = WindowOf(parent)->appearance;

  OpenNoteFrom(context, child, parent);
  ASSERT_NE(WindowOf(child), nullptr);
  EXPECT_EQ(WindowOf(child)->appearance.bytes, shown.bytes);
  OpenNoteFrom(context, refusing, parent);
  ASSERT_NE(WindowOf(refusing), nullptr);
  EXPECT_EQ(WindowOf(refusing)->appearance.bytes, model::LoadAppearance(db, refusing).bytes);
  OpenNoteFrom(context, child, 0);  // "<OPEN>": nothing is inherited
  EXPECT_EQ(WindowOf(child)->appearance.bytes, model::LoadAppearance(db, child).bytes);
}

TEST_F(NoteWindows, PagingFillsTheVisibleCellsOnly) {
  ASSERT_TRUE(protection->UnlockContent());
  const std::uint32_t note = Note(u"页", 25);
  AppearanceBlock block = model::LoadAppearance(db, note);
  block.SetU16(AppearanceBlock::kLayoutFlags, 0);  // row-major
  block.SetU16(AppearanceBlock::kItemWidth, 40);
  block.SetU16(AppearanceBlock::kItemHeight, 40);
  block.SetU16(AppearanceBlock::kTitleBarHeight, 18);
  ASSERT_EQ(model::PutNoteBytes(db, note, field::kOwnAppearance, block.bytes.data(), 192), 0);
  ASSERT_EQ(model::PutNoteU32(db, note, field::kWindowWidth, 136), 0);
  ASSERT_EQ(model::PutNoteU32(db, note, field::kWindowHeight, 180), 0);
  ASSERT_EQ(model::PutNoteU32(db, note, field::kScrollPosition, 100), 0);
  ASSERT_EQ(OpenNoteWindow(context, note), note);
  KIzMTk* window = WindowOf(note);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->columns, 3);
  EXPECT_EQ(window->rows, 4);
  EXPECT_EQ(window->pageCount, 3);
  EXPECT_EQ(window->scrollMax, 8);
  EXPECT_EQ(window->scrollPos, 8);  // lowered from the stored 100 and stored back
  EXPECT_EQ(model::GetNoteU32(db, note, field::kScrollPosition, 0), 8u);
  const std::vector<std::uint32_t> ids = model::ListItems(db, note);
  ASSERT_EQ(window->cellCount, 1);  // the last row of the last page holds item 25
  EXPECT_EQ(window->cellItems[0], ids[24]);
  EXPECT_EQ(window->cellItems[1], 0u);

  window->scrollPos = 0;
  window->Repage();
  EXPECT_EQ(window->cellCount, 12);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(window->cellItems[i], ids[i]) << i;
  EXPECT_EQ(window->CellFromPoint(2, 30), 0);
}

TEST_F(NoteWindows, ReapingFreesEveryFontTheWindowMade) {
  // A window with fonts of its own selects them into its buffers; they
  // must be deselected before they are deleted, or every pop-up leaks one.
  ASSERT_TRUE(protection->UnlockContent());
  const std::uint32_t note = Note(u"字体", 3);
  AppearanceBlock block = model::LoadAppearance(db, note);
  block.SetFontFace(AppearanceBlock::kTitleFontFace, u"Tahoma");
  block.SetFontFace(AppearanceBlock::kIconFontFace, u"Tahoma");
  ASSERT_EQ(model::PutNoteBytes(db, note, field::kOwnAppearance, block.bytes.data(), 192), 0);

  // Warm-up: the shared resources are made with the first window.
  ASSERT_EQ(OpenNoteWindow(context, note), note);
  CloseNoteWindows(context, note);
  ReapClosedWindows(context);
  const DWORD before = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);

  ASSERT_EQ(OpenNoteWindow(context, note), note);
  KIzMTk* window = WindowOf(note);
  ASSERT_NE(window, nullptr);
  const HFONT titleFont = window->titleFont.get();
  const HFONT itemFont = window->itemFont.get();
  ASSERT_NE(titleFont, nullptr);
  ASSERT_NE(itemFont, nullptr);
  CloseNoteWindows(context, note);
  ReapClosedWindows(context);
  EXPECT_EQ(::GetObjectType(titleFont), 0u) << "the title font outlived its window";
  EXPECT_EQ(::GetObjectType(itemFont), 0u) << "the item font outlived its window";
  const DWORD after = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
  if (before != 0) {  // Wine reports 0 where it does not count
    EXPECT_EQ(after, before);
  }
}

TEST_F(NoteWindows, ChangesFromAnotherThreadReachTheWindowsThroughTheMainWindow) {
  ASSERT_TRUE(protection->UnlockContent());
  const std::uint32_t note = Note(u"线程", 1);
  ASSERT_EQ(OpenNoteWindow(context, note), note);
  KIzMTk* window = WindowOf(note);
  ASSERT_NE(window, nullptr);
  MSG message;
  while (::PeekMessageW(&message, window->hwnd, WM_NOTE_RELAYOUT, WM_NOTE_RELAYOUT, PM_REMOVE)) {
  }

  std::thread worker([&] { NotifyNoteChanged(context, note); });
  worker.join();
  EXPECT_FALSE(::PeekMessageW(&message, window->hwnd, WM_NOTE_RELAYOUT, WM_NOTE_RELAYOUT, PM_REMOVE))
      << "the worker walked the window list itself";
  ASSERT_TRUE(::PeekMessageW(&message, context.mainWindow, WM_NOTE_CHANGED_ELSEWHERE, WM_NOTE_CHANGED_ELSEWHERE,
                             PM_REMOVE));
  EXPECT_EQ(message.wParam, note);

  // What the main window does with it, on the interface thread.
  NotifyNoteChanged(context, static_cast<std::uint32_t>(message.wParam));
  EXPECT_TRUE(::PeekMessageW(&message, window->hwnd, WM_NOTE_RELAYOUT, WM_NOTE_RELAYOUT, PM_REMOVE));
}

TEST_F(NoteWindows, ScrollPositionIsStoredWhenItChanges) {
  ASSERT_TRUE(protection->UnlockContent());
  const std::uint32_t note = Note(u"滚动", 25);
  AppearanceBlock block = model::LoadAppearance(db, note);
  block.SetU16(AppearanceBlock::kLayoutFlags, 0);
  block.SetU16(AppearanceBlock::kItemWidth, 40);
  block.SetU16(AppearanceBlock::kItemHeight, 40);
  ASSERT_EQ(model::PutNoteBytes(db, note, field::kOwnAppearance, block.bytes.data(), 192), 0);
  ASSERT_EQ(model::PutNoteU32(db, note, field::kWindowWidth, 136), 0);
  ASSERT_EQ(model::PutNoteU32(db, note, field::kWindowHeight, 180), 0);
  ASSERT_EQ(OpenNoteWindow(context, note), note);
  KIzMTk* window = WindowOf(note);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(model::GetNoteU32(db, note, field::kScrollPosition, 77), 77u) << "opening at 0 wrote a position";
  window->scrollPos = 3;
  window->Repage();
  EXPECT_EQ(model::GetNoteU32(db, note, field::kScrollPosition, 0), 3u);
}

}  // namespace
}  // namespace vellumo::notes
