// The drop target under Wine, called as OLE would call it: a data object
// with a file list, text or an internet shortcut dropped over a note
// window, on its program and "<open>" items, and outside every window.
#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "model/appearance.h"
#include "model/item_operations.h"
#include "model/items.h"
#include "model/notes.h"
#include "notes/drop_target.h"
#include "notes/note_window.h"
#include "notes/program_context.h"
#include "support/temp_dir.h"

namespace vellumo::notes {
namespace {

namespace field = model::note_field;
using model::AppearanceBlock;

HGLOBAL GlobalOf(const void* bytes, std::size_t size) {
  HGLOBAL global = ::GlobalAlloc(GMEM_MOVEABLE, size);
  if (void* p = ::GlobalLock(global)) {
    std::memcpy(p, bytes, size);
    ::GlobalUnlock(global);
  }
  return global;
}

std::vector<std::uint8_t> Bytes(std::u16string_view text) {
  std::vector<std::uint8_t> bytes((text.size() + 1) * 2, 0);
  std::memcpy(bytes.data(), text.data(), text.size() * 2);
  return bytes;
}

// CF_HDROP: DROPFILES, then the wide paths, each terminated, and one more zero.
std::vector<std::uint8_t> FileList(const std::vector<std::u16string>& paths) {
  std::vector<std::uint8_t> bytes(sizeof(DROPFILES), 0);
  DROPFILES header{};
  header.pFiles = sizeof(DROPFILES);
  header.fWide = TRUE;
  std::memcpy(bytes.data(), &header, sizeof header);
  for (const std::u16string& path : paths) {
    const std::vector<std::uint8_t> one = Bytes(path);
    bytes.insert(bytes.end(), one.begin(), one.end());
  }
  bytes.push_back(0);
  bytes.push_back(0);
  return bytes;
}

std::vector<std::uint8_t> Descriptor(std::u16string_view name) {
  FILEGROUPDESCRIPTORW group{};
  group.cItems = 1;
  std::memcpy(group.fgd[0].cFileName, name.data(), name.size() * 2);
  std::vector<std::uint8_t> bytes(sizeof group);
  std::memcpy(bytes.data(), &group, sizeof group);
  return bytes;
}

CLIPFORMAT Format(const wchar_t* name) { return static_cast<CLIPFORMAT>(::RegisterClipboardFormatW(name)); }

// A data object with fixed formats in global memory; lives on the stack of
// the test, so its count never frees it.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class FakeData final : public IDataObject {
 public:
  void Offer(CLIPFORMAT format, std::vector<std::uint8_t> bytes) { formats_[format] = std::move(bytes); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDataObject)) {
      *object = this;
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* request, STGMEDIUM* medium) override {
    if (const HRESULT offered = QueryGetData(request); offered != S_OK) return offered;
    const std::vector<std::uint8_t>& bytes = formats_[request->cfFormat];
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = GlobalOf(bytes.data(), bytes.size());
    medium->pUnkForRelease = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* request) override {
    if (!(request->tymed & TYMED_HGLOBAL)) return DV_E_TYMED;
    return formats_.count(request->cfFormat) ? S_OK : DV_E_FORMATETC;
  }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    out->ptd = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

 private:
  std::map<CLIPFORMAT, std::vector<std::uint8_t>> formats_;
};
#pragma GCC diagnostic pop

struct Item {
  std::u16string title, content;
  bool operator==(const Item&) const = default;
};

std::string Narrow(std::u16string_view text) {
  std::string out;
  for (const char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

void PrintTo(const Item& item, std::ostream* out) { *out << Narrow(item.title) << " / " << Narrow(item.content); }

class DropTarget : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(db.OpenFiles(dir / "d.ku", dir / "d.hs"), OpenResult::Created);
    protection = std::make_unique<protect::ContentProtection>(db);
    ASSERT_TRUE(protection->UnlockContent());
    context.instance = ::GetModuleHandleW(nullptr);
    context.database = &db;
    context.protection = protection.get();
    context.items = &operations;
    context.mainWindow =
        ::CreateWindowExW(0, L"STATIC", L"main", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, context.instance, nullptr);
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

  // A note shown at a fixed place, large enough for a few cells.
  std::uint32_t Note(std::u16string_view name, int x, int y) {
    const std::uint32_t note = model::CreateNote(db, name);
    AppearanceBlock block = model::LegacyAppearance(db, note);
    block.SetU32(AppearanceBlock::kBehaviourFlags, model::behaviour_flag::kRememberPosition);
    EXPECT_EQ(model::PutNoteBytes(db, note, field::kOwnAppearance, block.bytes.data(), 192), 0);
    EXPECT_EQ(model::PutNoteU32(db, note, field::kWindowX, static_cast<std::uint32_t>(x)), 0);
    EXPECT_EQ(model::PutNoteU32(db, note, field::kWindowY, static_cast<std::uint32_t>(y)), 0);
    EXPECT_EQ(model::PutNoteU32(db, note, field::kWindowWidth, 300), 0);
    EXPECT_EQ(model::PutNoteU32(db, note, field::kWindowHeight, 300), 0);
    return note;
  }

  KIzMTk* Open(std::uint32_t note) {
    EXPECT_EQ(OpenNoteWindow(context, note), note);
    Pump();
    for (const auto& window : context.noteWindows.Windows())
      if (window->noteId == note && !window->closed) return window.get();
    return nullptr;
  }

  void Pump() {
    MSG message;
    for (int i = 0; i < 50 && ::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE); ++i) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }

  // A screen point over the cell that shows `item`, or over no item at all
  // for item 0.
  POINTL PointOn(KIzMTk& window, std::uint32_t item) {
    for (int y = window.clientHeight - 3; y > 0; y -= 3)
      for (int x = 2; x < window.clientWidth - 2; x += 3) {
        const int cell = window.CellFromPoint(x, y);
        if ((item == 0 && cell >= 0 && window.ItemInCell(cell) == 0) || (item != 0 && window.ItemInCell(cell) == item)) {
          POINT p{x, y};
          ::ClientToScreen(window.hwnd, &p);
          return {p.x, p.y};
        }
      }
    ADD_FAILURE() << "no cell shows item " << item;
    return {0, 0};
  }

  std::vector<Item> Items(std::uint32_t note) {
    std::vector<Item> items;
    for (const std::uint32_t id : model::ListItems(db, note))
      items.push_back({model::GetItemTitle(db, note, id), model::GetItemContent(db, note, id)});
    return items;
  }

  testing::TempDir dir;
  Ku db;
  ProgramContext context;
  struct : model::ModelNotifier {
    void ShowMessage(std::u16string_view, std::u16string_view) override {}
  } notifier;
  model::ItemSyncHooks sync;
  model::ItemOperations operations{db, notifier, sync, context.appMutex};
  std::unique_ptr<protect::ContentProtection> protection;
  std::vector<std::u16string> started;
  CDropTarget target{context, [this](std::u16string_view text) { started.emplace_back(text); }};
};

TEST_F(DropTarget, FilesTextAndLinksBecomeItemsOfTheNoteUnderThePoint) {
  const std::uint32_t note = Note(u"收件", 200, 150);
  KIzMTk* window = Open(note);
  ASSERT_NE(window, nullptr);

  FakeData files;
  files.Offer(CF_HDROP, FileList({u"C:\\dl\\Setup.EXE", u"C:\\docs\\notes.txt"}));
  DWORD effect = DROPEFFECT_COPY | DROPEFFECT_LINK;
  ASSERT_EQ(target.DragEnter(&files, 0, PointOn(*window, 0), &effect), S_OK);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_LINK));  // no text on offer
  effect = DROPEFFECT_COPY | DROPEFFECT_LINK;
  EXPECT_EQ(target.Drop(&files, 0, PointOn(*window, 0), &effect), S_OK);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_LINK));

  FakeData text;
  text.Offer(CF_UNICODETEXT, Bytes(u"hello from another program"));
  text.Offer(CF_TEXT, {'x', 0});
  effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
  ASSERT_EQ(target.DragEnter(&text, MK_CONTROL, PointOn(*window, 0), &effect), S_OK);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
  window->Repage();
  EXPECT_EQ(target.Drop(&text, 0, PointOn(*window, 0), &effect), S_OK);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));

  FakeData link;
  link.Offer(Format(L"FileGroupDescriptorW"), Descriptor(u"新闻首页.url"));
  link.Offer(Format(L"UniformResourceLocatorW"), Bytes(u"https://news.example.test/"));
  link.Offer(CF_UNICODETEXT, Bytes(u"ignored when the link is there"));
  window->Repage();
  EXPECT_EQ(target.Drop(&link, 0, PointOn(*window, 0), &effect), S_OK);

  std::vector<Item> expected = {
      {u"Setup", u"<run>C:\\dl\\Setup.EXE"},
      {u"notes.txt", u"<run>C:\\docs\\notes.txt"},
      {u">hello from another ", u"<v>hello from another program"},
      {u"新闻首页", u"<run>https://news.example.test/"},
  };
  std::vector<Item> got = Items(note);
  std::sort(expected.begin(), expected.end(), [](auto& a, auto& b) { return a.content < b.content; });
  std::sort(got.begin(), got.end(), [](auto& a, auto& b) { return a.content < b.content; });
  EXPECT_EQ(got, expected);
  EXPECT_TRUE(started.empty());
}

TEST_F(DropTarget, FilesOnAProgramItemStartItWithTheQuotedPathsOnly) {
  const std::uint32_t note = Note(u"工具", 200, 150);
  const std::uint32_t tool = operations.CreateItem(note, u"tool", u"<run>C:\\bin\\tool.exe|--old<>comment", false);
  ASSERT_NE(tool, 0u);
  KIzMTk* window = Open(note);
  ASSERT_NE(window, nullptr);

  FakeData files;
  files.Offer(CF_HDROP, FileList({u"C:\\a b\\one.txt", u"D:\\two.doc"}));
  DWORD effect = DROPEFFECT_LINK;
  EXPECT_EQ(target.Drop(&files, 0, PointOn(*window, tool), &effect), S_OK);
  ASSERT_EQ(started.size(), 1u);
  EXPECT_EQ(started[0], u"C:\\bin\\tool.exe|\"C:\\a b\\one.txt\" \"D:\\two.doc\"");

  FakeData text;  // text says nothing to the program: it starts alone
  text.Offer(CF_UNICODETEXT, Bytes(u"words"));
  EXPECT_EQ(target.Drop(&text, 0, PointOn(*window, tool), &effect), S_OK);
  ASSERT_EQ(started.size(), 2u);
  EXPECT_EQ(started[1], u"C:\\bin\\tool.exe");
  EXPECT_EQ(model::ListItems(db, note).size(), 1u);  // no item was made
}

TEST_F(DropTarget, AFileOnAnOpenItemGoesToItsFirstNoteWhileThatIsClosed) {
  const std::uint32_t shown = Note(u"索引", 200, 150);
  const std::uint32_t first = Note(u"十二", 600, 150);
  const std::uint32_t second = Note(u"十五", 600, 450);
  const std::u16string open = u"<open>" + std::u16string(1, static_cast<char16_t>(u'0' + first)) + u"," +
                              std::u16string(1, static_cast<char16_t>(u'0' + second));
  const std::uint32_t opener = operations.CreateItem(shown, u"both", open, false);
  KIzMTk* window = Open(shown);
  ASSERT_NE(window, nullptr);

  FakeData files;
  files.Offer(CF_HDROP, FileList({u"C:\\x\\report.pdf"}));
  DWORD effect = DROPEFFECT_LINK;
  EXPECT_EQ(target.Drop(&files, 0, PointOn(*window, opener), &effect), S_OK);
  EXPECT_EQ(Items(first), (std::vector<Item>{{u"report.pdf", u"<run>C:\\x\\report.pdf"}}));
  EXPECT_TRUE(Items(second).empty());
  EXPECT_EQ(model::ListItems(db, shown).size(), 1u);
  EXPECT_EQ(NoteWindowCount(context), 1u);  // the note was not opened for it
}

TEST_F(DropTarget, RefusedOutsideNoteWindowsAndWithoutAnyFormat) {
  const std::uint32_t note = Note(u"边", 200, 150);
  KIzMTk* window = Open(note);
  ASSERT_NE(window, nullptr);
  FakeData text;
  text.Offer(CF_UNICODETEXT, Bytes(u"words"));
  DWORD effect = DROPEFFECT_COPY;
  EXPECT_EQ(target.Drop(&text, 0, POINTL{1100, 700}, &effect), S_OK);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));

  FakeData empty;
  effect = DROPEFFECT_COPY;
  EXPECT_EQ(target.Drop(&empty, 0, PointOn(*window, 0), &effect), DV_E_FORMATETC);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
  EXPECT_TRUE(Items(note).empty());
}

TEST_F(DropTarget, DragOverHighlightsOnlyItemsThatTakeDrops) {
  const std::uint32_t note = Note(u"亮", 200, 150);
  const std::uint32_t tool = operations.CreateItem(note, u"a tool", u"<run>C:\\t.exe", false);
  const std::uint32_t plain = operations.CreateItem(note, u"b text", u"<v>text", false);
  KIzMTk* window = Open(note);
  ASSERT_NE(window, nullptr);
  DWORD effect = DROPEFFECT_LINK;
  const POINTL onTool = PointOn(*window, tool);
  ASSERT_EQ(target.DragOver(0, onTool, &effect), S_OK);
  window->leaveTick = 0;
  Pump();
  POINT client{onTool.x, onTool.y};
  ::ScreenToClient(window->hwnd, &client);
  EXPECT_EQ(window->highlightedCell, window->CellFromPoint(client.x, client.y));
  EXPECT_EQ(window->leaveTick, context.interfaceClock + 500);  // kept open while hovered

  ASSERT_EQ(target.DragOver(0, PointOn(*window, plain), &effect), S_OK);
  Pump();
  EXPECT_EQ(window->ItemInCell(window->highlightedCell), plain);
}

TEST_F(DropTarget, ItemsDroppedFromAnotherWindowMoveAndWholeNotesLink) {
  const std::uint32_t from = Note(u"源", 200, 150);
  const std::uint32_t to = Note(u"目标", 600, 150);
  const std::uint32_t moved = operations.CreateItem(from, u"记事", u"<v>内容", false);
  KIzMTk* window = Open(to);
  ASSERT_NE(window, nullptr);
  window->OnItemDropped(from, moved);  // Ctrl is not held here
  EXPECT_TRUE(Items(from).empty());
  EXPECT_EQ(Items(to), (std::vector<Item>{{u"记事", u"<v>内容"}}));

  window->OnItemDropped(to, 0);  // its own empty cell: nothing
  EXPECT_EQ(Items(to).size(), 1u);
  window->OnItemDropped(from, 0);
  const std::u16string link = u"<open>" + std::u16string(1, static_cast<char16_t>(u'0' + from));
  EXPECT_EQ(Items(to), (std::vector<Item>{{u">源", link}, {u"记事", u"<v>内容"}}));
}

TEST_F(DropTarget, AnItemLetGoOverAnotherReordersOrMovesToThatWindow) {
  const std::uint32_t from = Note(u"排", 200, 150);
  const std::uint32_t to = Note(u"收", 600, 150);
  const std::uint32_t numbered = operations.CreateItem(from, u"!005|foo", u"<v>1", false);
  const std::uint32_t dragged = operations.CreateItem(from, u"bar", u"<v>2", false);
  KIzMTk* source = Open(from);
  KIzMTk* other = Open(to);
  ASSERT_NE(source, nullptr);
  ASSERT_NE(other, nullptr);
  const auto cellOf = [&](std::uint32_t item) {
    for (int i = 0; i < source->cellCount; ++i)
      if (source->ItemInCell(i) == item) return i;
    return -1;
  };

  // Let go over the numbered item: the dragged one takes its number.
  const POINTL onNumbered = PointOn(*source, numbered);
  ASSERT_TRUE(::SetCursorPos(onNumbered.x, onNumbered.y));
  source->EndItemDrag(cellOf(dragged));
  Pump();
  EXPECT_EQ(model::GetItemTitle(db, from, dragged), u"!005|bar");
  EXPECT_EQ(model::ListItems(db, from), (std::vector<std::uint32_t>{dragged, numbered}));
  EXPECT_EQ(source->keepOpen, 1);

  // Let go over the other window: a move.
  source->Repage();
  const POINTL onOther = PointOn(*other, 0);
  ASSERT_TRUE(::SetCursorPos(onOther.x, onOther.y));
  source->EndItemDrag(cellOf(dragged));
  Pump();
  EXPECT_EQ(Items(from), (std::vector<Item>{{u"!005|foo", u"<v>1"}}));
  EXPECT_EQ(Items(to), (std::vector<Item>{{u"!005|bar", u"<v>2"}}));
}

// Pressed, carried to another note window and let go, with the leave Wine
// reports while the source window holds the capture: still a move of the
// pressed item, never a link to the whole note.
TEST_F(DropTarget, AnItemCarriedToAnotherWindowMovesThoughTheLeaveComesFirst) {
  const std::uint32_t from = Note(u"源", 200, 150);
  const std::uint32_t to = Note(u"目标", 600, 150);
  const std::uint32_t carried = operations.CreateItem(from, u"记事", u"<v>内容", false);
  KIzMTk* source = Open(from);
  KIzMTk* other = Open(to);
  ASSERT_NE(source, nullptr);
  ASSERT_NE(other, nullptr);
  const auto moveTo = [&](POINTL screen) {
    ASSERT_TRUE(::SetCursorPos(screen.x, screen.y));
    ::SendMessageW(source->hwnd, WM_MOUSEMOVE, 0, 0);
  };
  const POINTL onItem = PointOn(*source, carried);
  for (const int dx : {-2, -1, 0}) moveTo({onItem.x + dx, onItem.y});
  ::SendMessageW(source->hwnd, WM_LBUTTONDOWN, 0, 0);
  moveTo(PointOn(*source, 0));  // off the pressed cell, still inside
  moveTo(PointOn(*other, 0));
  ::SendMessageW(source->hwnd, WM_MOUSELEAVE, 0, 0);
  moveTo(PointOn(*other, 0));
  ::SendMessageW(source->hwnd, WM_LBUTTONUP, 0, 0);
  Pump();
  EXPECT_TRUE(Items(from).empty());
  EXPECT_EQ(Items(to), (std::vector<Item>{{u"记事", u"<v>内容"}}));
  // The leave held back during the press is carried out at the release.
  EXPECT_EQ(source->highlightedCell, -1);
  EXPECT_NE(source->leaveTick, 0u);
}

TEST_F(DropTarget, CountsReferencesAndAnswersOnlyItsInterfaces) {
  void* object = nullptr;
  EXPECT_EQ(target.QueryInterface(IID_IDropTarget, &object), S_OK);
  EXPECT_EQ(object, static_cast<IDropTarget*>(&target));
  EXPECT_EQ(target.References(), 2u);
  EXPECT_EQ(target.Release(), 1u);
  EXPECT_EQ(target.QueryInterface(IID_IDataObject, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(target.References(), 1u);
  // Registration takes references and revoking gives them back.
  ASSERT_EQ(::OleInitialize(nullptr), S_OK);
  ASSERT_EQ(::RegisterDragDrop(context.mainWindow, &target), S_OK);
  EXPECT_GT(target.References(), 1u);
  EXPECT_EQ(::RevokeDragDrop(context.mainWindow), S_OK);
  EXPECT_EQ(target.References(), 1u);
  ::OleUninitialize();
}

}  // namespace
}  // namespace vellumo::notes
