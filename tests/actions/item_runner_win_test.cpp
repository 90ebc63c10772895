// Running items under Wine: the clipboard, hidden command lines, what a
// click on each kind of content starts, and the captures that make items.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "actions/clipboard.h"
#include "actions/item_runner.h"
#include "actions/launch.h"
#include "model/item_operations.h"
#include "model/items.h"
#include "model/notes.h"
#include "notes/note_window.h"
#include "resources/resource.h"
#include "resources/window_messages.h"
#include "support/temp_dir.h"

namespace vellumo::actions {
namespace {

namespace field = model::note_field;

std::wstring Wide(std::u16string_view s) { return std::wstring(s.begin(), s.end()); }

// Records what the queue asks of the program; typing is collected as text.
struct Performer : ActionPerformer, KeySink {
  std::u16string clipboard, typed;
  int chords = 0;
  void OpenNotesForTrigger(std::uint32_t) override {}
  void SendCtrlChord(std::uint8_t) override { ++chords; }
  void SetClipboardText(std::u16string_view text) override { clipboard = text; }
  void CaptureToItem(std::uint32_t) override {}
  void CaptureToEditor(std::uint64_t, std::int32_t) override {}
  bool EscapeDown() override { return false; }
  bool ModifiersDown() override { return false; }
  KeySink& Keys() override { return *this; }
  void SendUnicodeChar(char16_t unit) override { typed += unit; }
  void TypeKeyForChar(char16_t unit) override { typed += unit; }
  void PressKey(std::uint8_t) override {}
  void KeyDown(std::uint8_t) override {}
  void KeyUp(std::uint8_t) override {}
  void Pause(std::uint32_t) override {}
};

struct Messages : model::ModelNotifier {
  std::vector<std::u16string> shown;
  void ShowMessage(std::u16string_view text, std::u16string_view caption) override {
    shown.push_back(std::u16string(caption) + u":" + std::u16string(text));
  }
};

class ItemRunner : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(db.OpenFiles(dir / "r.ku", dir / "r.hs"), OpenResult::Created);
    protection = std::make_unique<protect::ContentProtection>(db);
    context.instance = ::GetModuleHandleW(nullptr);
    context.database = &db;
    context.protection = protection.get();
    context.items = &operations;
    context.messages = &messages;
    context.mainWindow = ::CreateWindowExW(0, L"STATIC", L"main", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                           context.instance, nullptr);
    if (!context.mainWindow) GTEST_SKIP() << "Wine has no display driver here: windows cannot be created";
    context.screenWidth = ::GetSystemMetrics(SM_CXSCREEN) - 2;
    context.screenHeight = ::GetSystemMetrics(SM_CYSCREEN) - 2;
    context.interfaceClock = ::GetTickCount();
    DrainMessages();
  }
  void TearDown() override {
    notes::CloseAllNoteWindows(context);
    if (context.mainWindow) ::DestroyWindow(context.mainWindow);
    context.mainWindow = nullptr;
  }

  // The messages posted to the main window since the last call.
  std::vector<MSG> DrainMessages() {
    std::vector<MSG> posted;
    MSG m;
    while (::PeekMessageW(&m, context.mainWindow, 0, 0, PM_REMOVE))
      if (m.message != WM_PAINT) posted.push_back(m);
    return posted;
  }

  std::uint32_t Item(std::uint32_t note, std::u16string_view content) {
    return operations.CreateItem(note, u"项目", content, false);
  }

  void Run(std::uint32_t note, std::uint32_t item, int ticks = 0) {
    ExecuteItem(context, queue, note, item);
    for (int i = 0; i < ticks; ++i) queue.StepActions();
  }

  testing::TempDir dir;
  Ku db;
  Messages messages;
  model::ItemSyncHooks sync;
  notes::ProgramContext context;
  model::ItemOperations operations{db, messages, sync, context.appMutex};
  std::unique_ptr<protect::ContentProtection> protection;
  Performer performer;
  ActionQueue queue{performer};
};

TEST_F(ItemRunner, ClipboardTextRoundTripsAndIsCutAtTheCapacity) {
  ASSERT_TRUE(SetClipboardText(context.mainWindow, u"剪贴板 text"));
  ClipboardText read = ReadClipboardText(context.mainWindow, 100);
  EXPECT_EQ(read.text, u"剪贴板 text");
  EXPECT_FALSE(read.cut);
  read = ReadClipboardText(context.mainWindow, 3);
  EXPECT_EQ(read.text, u"剪贴板");
  EXPECT_TRUE(read.cut);
}

TEST_F(ItemRunner, WithoutTextTheFirstCopiedFileIsRead) {
  static constexpr wchar_t files[] = L"C:\\data\\first.txt\0C:\\data\\second.txt\0";  // ends in two zeros
  const std::size_t bytes = sizeof(DROPFILES) + sizeof files;
  HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
  ASSERT_NE(memory, nullptr);
  auto* drop = static_cast<DROPFILES*>(::GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), files, sizeof files);
  ::GlobalUnlock(memory);
  ASSERT_TRUE(::OpenClipboard(context.mainWindow));
  ::EmptyClipboard();
  ASSERT_NE(::SetClipboardData(CF_HDROP, memory), nullptr);
  ::CloseClipboard();
  EXPECT_EQ(ReadClipboardText(context.mainWindow, 100).text, u"C:\\data\\first.txt");
}

TEST_F(ItemRunner, ACommandLineRunsHiddenAndAMissingProgramIsReported) {
  const std::filesystem::path out = dir / "cmd-out.txt";
  const std::u16string line = u"cmd /c echo written> \"" + out.u16string() + u"\"";
  ASSERT_TRUE(RunCommandLine(line));
  for (int i = 0; i < 100 && !std::filesystem::exists(out); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  std::ifstream file(out);
  std::string text;
  std::getline(file, text);
  EXPECT_EQ(text, "written");
  EXPECT_FALSE(RunCommandLine(u"no-such-program-anywhere.exe /x"));
}

TEST_F(ItemRunner, ACommandWhoseOutputNobodyReadsStillEnds) {
  // Far more output than a pipe holds: the command must not wait for a reader.
  const std::filesystem::path out = dir / "after.txt";
  const std::u16string line =
      u"cmd /c (for /L %i in (1,1,3000) do @echo line %i of a long listing) & echo done> \"" + out.u16string() + u"\"";
  ASSERT_TRUE(RunCommandLine(line));
  for (int i = 0; i < 300 && !std::filesystem::exists(out); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_TRUE(std::filesystem::exists(out));
}

TEST_F(ItemRunner, PlainAndTagOnlyContentsOpenTheEditor) {
  const std::uint32_t note = model::CreateNote(db, u"便利贴");
  for (const std::u16string_view content : {u"纯文本", u"<a>", u"<CMD>dir", u"<open>"}) {
    const std::uint32_t item = Item(note, content);
    Run(note, item);
    const std::vector<MSG> posted = DrainMessages();
    ASSERT_EQ(posted.size(), 1u) << Wide(content).size();
    EXPECT_EQ(posted[0].message, WM_OPEN_ITEM_EDITOR);
    EXPECT_EQ(posted[0].wParam, note);
    EXPECT_EQ(posted[0].lParam, static_cast<LPARAM>(item));
  }
  EXPECT_EQ(queue.Size(), 0u);
}

TEST_F(ItemRunner, TypingAndPastingGoThroughTheQueue) {
  const std::uint32_t note = model::CreateNote(db, u"便利贴");
  Run(note, Item(note, u"<a>ab<>comment"), 5);
  EXPECT_EQ(performer.typed, u"ab");
  Run(note, Item(note, u"<v>a<>b"), 3);
  EXPECT_EQ(performer.clipboard, u"a<>b");
  EXPECT_EQ(performer.chords, 1);
  EXPECT_EQ(queue.Size(), 0u);
}

TEST_F(ItemRunner, EncryptedSequencesAskForThePasswordWhileLockedAndTypeOnceUnlocked) {
  const std::uint32_t note = model::CreateNote(db, u"便利贴");
  ASSERT_TRUE(protection->UnlockContent());
  const std::uint32_t item = Item(note, u"<k>" + protection->EncryptBody(u"秘密<>not typed"));
  protection->LockContent();
  Run(note, item, 5);
  const std::vector<MSG> posted = DrainMessages();
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].message, static_cast<UINT>(WM_COMMAND));
  EXPECT_EQ(LOWORD(posted[0].wParam), IDM_PASSWORD);
  EXPECT_TRUE(performer.typed.empty());

  ASSERT_TRUE(protection->UnlockContent());
  Run(note, item, 5);
  EXPECT_EQ(performer.typed, u"秘密");
  EXPECT_TRUE(DrainMessages().empty());
}

TEST_F(ItemRunner, OpenListsOpenTheNotesUpToTheFirstZero) {
  const std::uint32_t from = model::CreateNote(db, u"来源");
  const std::uint32_t second = model::CreateNote(db, u"第二");
  const std::uint32_t third = model::CreateNote(db, u"第三");
  Run(from, Item(from, u"<open>" + std::u16string(1, static_cast<char16_t>(u'0' + second)) + u",0," +
                           std::u16string(1, static_cast<char16_t>(u'0' + third))));
  ASSERT_EQ(notes::NoteWindowCount(context), 1u);
  EXPECT_EQ(context.noteWindows.Windows()[0]->noteId, second);
}

TEST_F(ItemRunner, ACaptureBecomesAPasteItemTitledForSorting) {
  const std::uint32_t note = model::CreateNote(db, u"便利贴");
  ASSERT_EQ(model::PutNoteU32(db, note, field::kItemIdCounter, 12), 0);
  const std::u16string selection = u"0123456789abcdefghijklmnopqrstuvwxyz中文四";
  ASSERT_TRUE(SetClipboardText(context.mainWindow, selection));
  FinishCaptureToItem(context, note);
  const std::vector<std::uint32_t> items = model::ListItems(db, note);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(model::GetItemTitle(db, note, items[0]), u"!999987|" + selection.substr(0, 30));
  EXPECT_EQ(model::GetItemContent(db, note, items[0]), u"<v>" + selection);
  EXPECT_TRUE(messages.shown.empty());

  ASSERT_TRUE(SetClipboardText(context.mainWindow, std::u16string(30718, u'x')));
  FinishCaptureToItem(context, note);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0], u"提示:剪贴板内容过长，数据未完整保存。");
  const std::vector<std::uint32_t> after = model::ListItems(db, note);
  ASSERT_EQ(after.size(), 2u);
  for (const std::uint32_t item : after)
    if (item != items[0]) {
      EXPECT_EQ(model::GetItemContent(db, note, item).size(), 30720u);
    }
}

TEST_F(ItemRunner, ACaptureIntoTheEditorAddsAfterTheSelectionAndSelectsWhatItAdded) {
  const HWND edit = ::CreateWindowExW(0, L"EDIT", L"abc", WS_POPUP | ES_MULTILINE, 0, 0, 100, 100, nullptr, nullptr,
                                      context.instance, nullptr);
  ASSERT_NE(edit, nullptr);
  ::SendMessageW(edit, EM_SETSEL, 0, 1);
  ASSERT_TRUE(SetClipboardText(context.mainWindow, u"XY"));
  FinishCaptureToEditor(context.mainWindow, edit, 5000);
  wchar_t text[64] = {};
  ::GetWindowTextW(edit, text, 64);
  EXPECT_STREQ(text, L"aXY\r\n\r\nbc");
  DWORD start = 0, end = 0;
  ::SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 1u);
  EXPECT_EQ(end, 7u);
  ::DestroyWindow(edit);
}

TEST_F(ItemRunner, ADroppedProgramBecomesARunItemNamedAfterIt) {
  const std::uint32_t note = model::CreateNote(db, u"便利贴");
  MakeRunItem(context, note, u"C:\\Apps\\Tool.EXE");
  const std::vector<std::uint32_t> items = model::ListItems(db, note);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(model::GetItemTitle(db, note, items[0]), u"Tool");
  EXPECT_EQ(model::GetItemContent(db, note, items[0]), u"<run>C:\\Apps\\Tool.EXE");
}

}  // namespace
}  // namespace vellumo::actions
