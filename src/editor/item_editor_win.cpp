// The item editor window: loading, saving, stepping through items, the
// capture buttons, line wrap, search and the insert menu.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <string>

#include "editor/icon_dialog.h"
#include "editor/insert_commands.h"
#include "editor/item_search.h"
#include "editor/save_rules.h"
#include "editor/item_editor.h"
#include "model/items.h"
#include "model/notes.h"
#include "notes/item_icons.h"
#include "notes/note_shared.h"
#include "notes/note_window.h"
#include "protect/secret_content.h"
#include "resources/resource.h"
#include "resources/window_messages.h"

namespace vellumo::editor {

namespace {

constexpr std::size_t kContentBoxLimit = 131072;
constexpr std::size_t kSearchLimit = 30;
constexpr std::size_t kCaptionTitleChars = 32;
constexpr std::size_t kCaptionNoteChars = 80;
constexpr UINT_PTR kContentSubclass = 1;

std::wstring Wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }
std::u16string Narrow(std::wstring_view text) { return std::u16string(text.begin(), text.end()); }
std::u16string Decimal(std::uint32_t n) {
  const std::wstring w = std::to_wstring(n);
  return Narrow(w);
}

// Ctrl+A selects everything and Ctrl+S saves, as in any editor; Escape
// closes the editor from the content box as from anywhere else in it.
LRESULT CALLBACK ContentKeys(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  if (message == WM_KEYDOWN && wParam == VK_ESCAPE) {
    ::PostMessageW(::GetParent(edit), WM_COMMAND, IDM_EDITOR_CLOSE, 0);
    return 0;
  }
  if (message == WM_KEYDOWN && (::GetKeyState(VK_CONTROL) & 0x8000) != 0) {
    if (wParam == 'A') {
      ::PostMessageW(edit, EM_SETSEL, 0, -1);
      return 0;
    }
    if (wParam == 'S') {
      ::PostMessageW(::GetParent(edit), WM_COMMAND, IDC_EDITOR_SAVE, 0);
      return 0;
    }
  }
  return ::DefSubclassProc(edit, message, wParam, lParam);
}

}  // namespace

ItemEditor::ItemEditor(notes::ProgramContext& context, HMENU insertMenu) : context_(context), insertMenu_(insertMenu) {}

ItemEditor::~ItemEditor() {
  if (hwnd) ::DestroyWindow(hwnd);
}

bool ItemEditor::Create(std::uint32_t note, std::uint32_t item) {
  note_ = note;
  item_ = item;
  ::CreateDialogParamW(context_.Instance(), MAKEINTRESOURCEW(IDD_ITEM_EDITOR), ::GetDesktopWindow(),
                       &ItemEditor::DialogProcedure, reinterpret_cast<LPARAM>(this));
  if (!hwnd) return false;
  ::SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  ::SendMessageW(hwnd, WM_SETICON, ICON_BIG,
                 reinterpret_cast<LPARAM>(::LoadIconW(context_.Instance(), MAKEINTRESOURCEW(IDI_VELLUMO))));
  // The management window's filter text is what the user was looking for.
  if (context_.managementDialog) {
    wchar_t filter[kSearchLimit + 1] = {};
    ::GetDlgItemTextW(context_.managementDialog, IDC_FILTER, filter, kSearchLimit + 1);
    if (filter[0]) {
      ::SetDlgItemTextW(hwnd, IDC_EDITOR_SEARCH, filter);
      searchText_ = LowerForSearch(Narrow(filter));
    }
  }
  ::ShowWindow(hwnd, SW_SHOWNA);
  return true;
}

std::u16string ItemEditor::Text(int id, std::size_t limit) const {
  std::wstring text(limit + 1, L'\0');
  const int length = ::GetDlgItemTextW(hwnd, id, text.data(), static_cast<int>(limit + 1));
  text.resize(static_cast<std::size_t>(std::max(length, 0)));
  return Narrow(text);
}

void ItemEditor::SetText(int id, std::u16string_view text) { ::SetDlgItemTextW(hwnd, id, Wide(text).c_str()); }

int ItemEditor::Ask(const wchar_t* text, const wchar_t* caption, UINT type) {
  prompting_ = true;
  const int answer = ::MessageBoxW(hwnd, text, caption, type);
  prompting_ = false;
  return answer;
}

bool ItemEditor::IsSecret(std::u16string_view content) const { return IsSecretContent(content); }

void ItemEditor::OnInit() {
  ::SetWindowLongPtrW(hwnd, GWL_EXSTYLE, ::GetWindowLongPtrW(hwnd, GWL_EXSTYLE) | WS_EX_NOACTIVATE);
  ::PostMessageW(hwnd, WM_EDITOR_SWITCH, item_, 0);
  ::SetWindowSubclass(Control(IDC_EDITOR_CONTENT), &ContentKeys, kContentSubclass, 0);
  ::SendDlgItemMessageW(hwnd, IDC_EDITOR_SEARCH, EM_LIMITTEXT, kSearchLimit, 0);
  ::SendDlgItemMessageW(hwnd, IDC_EDITOR_TITLE, EM_LIMITTEXT, kTitleLimit + 2, 0);
  for (const int box : {IDC_EDITOR_CONTENT, IDC_EDITOR_CONTENT_WRAPPED})
    ::SendDlgItemMessageW(hwnd, box, EM_LIMITTEXT, kContentBoxLimit, 0);
  Layout();
}

void ItemEditor::SetModified(bool modified) {
  modified_ = modified;
  if (modified) changedSinceLoad_ = true;
  ::EnableWindow(Control(IDC_EDITOR_SAVE), modified);
  ::EnableWindow(Control(IDC_EDITOR_EXECUTE), !modified);
}

void ItemEditor::SetCaption(std::u16string_view title) {
  std::u16string name = context_.database ? model::GetNoteName(*context_.database, note_) : std::u16string();
  if (name.size() > kCaptionNoteChars) name.resize(kCaptionNoteChars);
  std::u16string caption = Decimal(note_) + u".";
  if (item_ == 0) {
    caption += u"新建 - ";
  } else {
    caption += Decimal(item_) + u" " + std::u16string(title.substr(0, kCaptionTitleChars)) + u" - ";
  }
  ::SetWindowTextW(hwnd, Wide(caption + name).c_str());
}

void ItemEditor::Switch(std::uint32_t item, std::uint32_t note) {
  if (iconDialog_) ::EndDialog(iconDialog_, 0);
  if (modified_) {
    const int answer = Ask(L"当前有修改，是否保存？", L"准备切换", MB_YESNOCANCEL | MB_ICONQUESTION);
    if (answer == IDCANCEL) return;
    if (answer == IDYES && !SaveItem()) return;
    if (answer == IDYES) notes::NotifyNoteChanged(context_, note_);
  }
  item_ = item;
  if (note != 0) note_ = note;
  LoadItem();
  if (!hwnd) return;
  SetModified(false);
  changedSinceLoad_ = false;
}

void ItemEditor::LoadItem() {
  if (item_ == 0 || !context_.database) {
    item_ = 0;
    NewItem(false);
    return;
  }
  Ku& db = *context_.database;
  std::u16string title = model::GetItemTitle(db, note_, item_);
  std::u16string content = model::GetItemContent(db, note_, item_);
  if (IsSecret(content)) {
    if (!context_.protection || !context_.protection->IsUnlocked()) {
      if (context_.mainWindow) ::PostMessageW(context_.mainWindow, WM_COMMAND, IDM_PASSWORD, 0);
      ::PostMessageW(hwnd, WM_COMMAND, IDM_EDITOR_CLOSE, 0);
      return;
    }
    content = content.substr(0, 3) + context_.protection->DecryptBody(content.substr(3));
  }
  loading_ = true;
  SetText(IDC_EDITOR_TITLE, title);
  SetText(IDC_EDITOR_CONTENT, content);
  loading_ = false;
  std::fill(content.begin(), content.end(), u'\0');
  const HWND box = Control(IDC_EDITOR_CONTENT);
  const LRESULT end = ::GetWindowTextLengthW(box);
  ::SendMessageW(box, EM_SETSEL, end, end);
  ::SetFocus(box);
  SetCaption(title);
  SetModified(false);
  RedrawPreview();
}

bool ItemEditor::SaveItem() {
  if (!context_.database || !context_.items) return false;
  const std::u16string title = Text(IDC_EDITOR_TITLE, kTitleLimit + 2);
  switch (CheckTitle(title)) {
    case TitleCheck::TooLong:
      Tell(kTitleTooLongText, L"错误");
      return false;
    case TitleCheck::Empty:
      Tell(kTitleEmptyText, L"错误");
      ::SetFocus(Control(IDC_EDITOR_TITLE));
      return false;
    case TitleCheck::Ok:
      break;
  }
  std::u16string content = Text(IDC_EDITOR_CONTENT, kContentBoxLimit);
  std::u16string stored = content;
  if (IsSecret(content)) {
    if (!context_.protection || !context_.protection->IsUnlocked()) {
      if (context_.mainWindow)
        ::PostMessageW(context_.mainWindow, WM_COMMAND, IDM_PASSWORD, reinterpret_cast<LPARAM>(hwnd));
      return false;
    }
    stored = content.substr(0, 3) + context_.protection->EncryptBody(content.substr(3));
  }
  if (NeedsCut(stored.size())) {
    if (Ask(L"内容长度已超出 30KB，超出部分会被截除，是否继续？", L"注意", MB_ICONWARNING | MB_OKCANCEL) != IDOK)
      return false;
    if (IsSecret(content)) {
      // Cut cipher text could never be decrypted again: the plain text is
      // cut until its encrypted form fits.
      std::size_t keep = content.size();
      while (stored.size() > kContentLimit && keep > 4) {
        keep -= std::max<std::size_t>((stored.size() - kContentLimit) / 2, 1);
        stored = content.substr(0, 3) + context_.protection->EncryptBody(content.substr(3, keep - 3));
      }
      content.resize(keep);
    } else {
      stored.resize(kContentLimit);
      content = stored;
    }
    loading_ = true;
    SetText(IDC_EDITOR_CONTENT, content);
    loading_ = false;
  } else if (const std::optional<std::u16string> name = NewNoteName(title, stored)) {
    const std::uint32_t created = model::CreateNote(*context_.database, *name);
    if (created != 0) {
      stored = OpenNoteContent(created);
      if (context_.managementDialog) ::PostMessageW(context_.managementDialog, WM_MGMT_SELECT_NOTE, created, 0);
      loading_ = true;
      SetText(IDC_EDITOR_CONTENT, stored);
      loading_ = false;
    }
  }
  std::fill(content.begin(), content.end(), u'\0');
  if (item_ == 0) {
    const std::uint32_t created = context_.items->CreateItem(note_, title, stored, true);
    if (created == 0) {
      Tell(L"保存失败，数据被拒绝写入。", L"错误");
      return false;
    }
    item_ = created;
  } else if (context_.items->UpdateItem(note_, item_, title, stored) != 0) {
    Tell(L"保存失败，项目可能已被删除。", L"错误");
    return false;
  }
  SetCaption(title);
  SetModified(false);
  ::SetFocus(Control(IDC_EDITOR_CONTENT));
  RedrawPreview();
  changedSinceLoad_ = false;
  return true;
}

void ItemEditor::NewItem(bool copy) {
  std::u16string name = context_.database ? model::GetNoteName(*context_.database, note_) : std::u16string();
  if (name.size() > kCaptionNoteChars) name.resize(kCaptionNoteChars);
  std::u16string caption = Decimal(note_) + u".";
  if (copy && item_ != 0) {
    caption += Decimal(item_) + u" <的副本> - ";
  } else {
    caption += copy ? u"新建副本 - " : u"新建 - ";
  }
  ::SetWindowTextW(hwnd, Wide(caption + name).c_str());
  item_ = 0;
  if (!copy) {
    loading_ = true;
    SetText(IDC_EDITOR_TITLE, u"");
    SetText(IDC_EDITOR_CONTENT, u"");
    loading_ = false;
  }
  const bool empty = ::GetWindowTextLengthW(Control(IDC_EDITOR_TITLE)) == 0 &&
                     ::GetWindowTextLengthW(Control(IDC_EDITOR_CONTENT)) == 0;
  SetModified(copy && !empty);
  ::SetFocus(Control(IDC_EDITOR_TITLE));
  RedrawPreview();
}

bool ItemEditor::SaveOrDiscard(const wchar_t* caption) {
  if (!modified_) return true;
  const int answer = Ask(L"当前有修改，是否保存？", caption, MB_YESNOCANCEL | MB_ICONQUESTION);
  if (answer == IDCANCEL) return false;
  if (answer == IDYES) {
    if (!SaveItem()) return false;
    notes::NotifyNoteChanged(context_, note_);
  }
  return true;
}

bool ItemEditor::AskToClose() {
  if (prompting_) return false;
  if (modified_) ::SetForegroundWindow(hwnd);
  if (!SaveOrDiscard(L"关闭")) return false;
  Close();
  return true;
}

void ItemEditor::Close() {
  if (hwnd) ::DestroyWindow(hwnd);
}

void ItemEditor::RedrawPreview() {
  const HWND box = Control(IDC_EDITOR_ICON);
  if (!box) return;
  constexpr int kSize = 32;
  platform::BitmapHandle bitmap;
  {
    const platform::WindowDc screen(box);
    platform::MemoryDc dc(::CreateCompatibleDC(screen.get()));
    bitmap.reset(::CreateCompatibleBitmap(screen.get(), kSize, kSize));
    if (!dc || !bitmap) return;
    const platform::Selection selected(dc.get(), bitmap.get());
    const RECT all{0, 0, kSize, kSize};
    ::FillRect(dc.get(), &all, ::GetSysColorBrush(COLOR_BTNFACE));
    notes::SharedNoteResources* shared = notes::EnsureSharedNoteResources(context_);
    if (item_ != 0 && shared && shared->builtinIcons && context_.database)
      notes::DrawItemIcon(*context_.database, *shared->builtinIcons, note_, item_, dc.get(), 0, 0, kSize);
  }
  ::SendMessageW(box, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap.get()));
  preview_ = std::move(bitmap);  // the box shows it; the old one can go
}

void ItemEditor::Capture(bool title) {
  SetModified(true);
  if (::GetForegroundWindow() == hwnd) {
    // The program whose selection is wanted comes back to the front.
    ::ShowWindow(hwnd, SW_MINIMIZE);
    ::SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
  }
  if (context_.commands)
    context_.commands->CaptureToEditor(Control(title ? IDC_EDITOR_TITLE : IDC_EDITOR_CONTENT),
                                       title ? static_cast<int>(kTitleLimit) : static_cast<int>(kContentLimit));
  ::ShowWindow(hwnd, SW_RESTORE);
  ::SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_SHOWWINDOW | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
}

void ItemEditor::Layout() {
  RECT client{};
  ::GetClientRect(hwnd, &client);
  const HWND box = Control(IDC_EDITOR_CONTENT);
  RECT r{};
  ::GetWindowRect(box, &r);
  ::MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&r), 2);
  for (const int id : {IDC_EDITOR_CONTENT, IDC_EDITOR_CONTENT_WRAPPED})
    ::SetWindowPos(Control(id), nullptr, r.left, r.top, client.right + 4, client.bottom + 1 - r.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

void ItemEditor::SwapContentBoxes() {
  const HWND shown = Control(IDC_EDITOR_CONTENT);
  const HWND hidden = Control(IDC_EDITOR_CONTENT_WRAPPED);
  std::u16string text = Text(IDC_EDITOR_CONTENT, kContentLimit + 2);
  if (text.size() > kContentLimit) {
    if (Ask(L"文本内容已超过最大限制（30KB），是否截断并丢弃多余长度？", L"提示", MB_ICONWARNING | MB_OKCANCEL) !=
        IDOK) {
      ::CheckDlgButton(hwnd, IDC_EDITOR_WRAP,
                       ::IsDlgButtonChecked(hwnd, IDC_EDITOR_WRAP) == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED);
      return;
    }
    text.resize(kContentLimit);
  }
  DWORD start = 0, end = 0;
  ::SendMessageW(shown, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  loading_ = true;
  ::SetWindowTextW(hidden, Wide(text).c_str());
  loading_ = false;
  std::fill(text.begin(), text.end(), u'\0');
  ::SendMessageW(hidden, EM_SETSEL, start, end);
  // The visible box is always 1001.
  ::SetWindowLongPtrW(shown, GWLP_ID, IDC_EDITOR_CONTENT_WRAPPED);
  ::SetWindowLongPtrW(hidden, GWLP_ID, IDC_EDITOR_CONTENT);
  Layout();
  ::ShowWindow(hidden, SW_SHOWNA);
  ::SendMessageW(hidden, EM_SCROLLCARET, 0, 0);
  ::ShowWindow(shown, SW_HIDE);
  ::SetFocus(hidden);
}

void ItemEditor::OnSearchChanged() {
  const std::u16string text = LowerForSearch(Text(IDC_EDITOR_SEARCH, kSearchLimit));
  if (text != searchText_) {
    searchText_ = text;
  } else {
    FindInCurrent();
  }
}

void ItemEditor::FindInCurrent() {
  if (searchText_.empty()) return;
  const HWND box = Control(IDC_EDITOR_CONTENT);
  DWORD start = 0, end = 0;
  ::SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  const std::optional<TextMatch> match = FindInText(Text(IDC_EDITOR_CONTENT, 30752), searchText_, end);
  if (!match) {
    Tell(L"没有找到！", L"查找当前内容");
    return;
  }
  ::SendMessageW(box, EM_SETSEL, match->start, match->end);
  ::SendMessageW(box, EM_SCROLLCARET, 0, 0);
}

void ItemEditor::FindNext(bool byTitle) {
  if (searchText_.empty() || !context_.database) return;
  Ku& db = *context_.database;
  const wchar_t* caption = byTitle ? L"查找标题" : L"查找非加密内容";
  const std::uint32_t note = note_;
  const ItemSearch found = FindNextItem(
      item_, searchText_, !byTitle, [&](std::uint32_t id) { return model::AdjacentItemId(db, note, id, +1); },
      [&](std::uint32_t id) {
        return byTitle ? model::GetItemTitle(db, note, id) : model::GetItemContent(db, note, id);
      });
  switch (found.result) {
    case ItemSearchResult::NotFound:
      Tell(L"此便利贴中没有找到！", caption);
      break;
    case ItemSearchResult::OnlyCurrent:
      Tell(L"只找到当前一项！", caption);
      break;
    case ItemSearchResult::Found:
      if (byTitle) {
        ::PostMessageW(hwnd, WM_EDITOR_SWITCH, found.item, 0);
      } else {
        Switch(found.item, 0);
        if (item_ == found.item) FindInCurrent();
      }
      break;
  }
}

void ItemEditor::Insert(int commandId) {
  const std::optional<Insertion> insertion = InsertionFor(commandId, [] { return RandomString12(); });
  if (!insertion) return;
  const HWND box = Control(IDC_EDITOR_CONTENT);
  // Tags belong at the very start of the content, wherever the caret is.
  if (insertion->where == InsertAt::Start) ::SendMessageW(box, EM_SETSEL, 0, 0);
  const std::wstring text = Wide(insertion->text);
  ::SendMessageW(box, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
  ::SetFocus(box);
}

void ItemEditor::OnCommand(int id, int code, HWND control) {
  // The icon box shares its id with IDCANCEL: Escape arrives as the same
  // command with the same control, told apart by the key being down.
  const bool escape = (::GetKeyState(VK_ESCAPE) & 0x8000) != 0;
  if (id == IDC_EDITOR_ICON && control && control == Control(IDC_EDITOR_ICON) && !escape) {
    // An item not yet saved has no record to carry an icon.
    if (item_ == 0 || !context_.database) return;
    if (ShowChangeIconDialog(context_.Instance(), hwnd, *context_.database, context_.messages, note_, item_,
                             &iconDialog_)) {
      RedrawPreview();
      notes::NotifyNoteChanged(context_, note_);
    }
    return;
  }
  switch (id) {
    case IDC_EDITOR_TITLE:
    case IDC_EDITOR_CONTENT:
      if (code == EN_CHANGE && !loading_) SetModified(true);
      return;
    case IDC_EDITOR_SEARCH:
      if (code == EN_CHANGE) OnSearchChanged();
      return;
    case IDC_EDITOR_SAVE:
      if (modified_ && SaveItem()) notes::NotifyNoteChanged(context_, note_);
      return;
    case IDC_EDITOR_NEW:
    case IDC_EDITOR_COPY:
    case IDC_EDITOR_CANCEL:
    case IDM_EDITOR_CLOSE:
    case IDCANCEL:
      if (prompting_ || !SaveOrDiscard(L"关闭")) return;
      if (id == IDC_EDITOR_NEW || id == IDC_EDITOR_COPY) {
        NewItem(id == IDC_EDITOR_COPY);
        ::SetFocus(Control(IDC_EDITOR_TITLE));
      } else {
        Close();
      }
      return;
    case IDC_EDITOR_DELETE: {
      if (item_ == 0 || !context_.items || !context_.database) return;
      if ((::GetKeyState(VK_SHIFT) & 0x8000) == 0 && Ask(L"是否确定删除？", L"删除", MB_OKCANCEL) != IDOK) return;
      const std::uint32_t next = model::AdjacentItemId(*context_.database, note_, item_, +1);
      if (context_.items->DeleteItem(note_, item_, true) != 0) Tell(L"删除失败，项目不存在。", L"错误");
      SetModified(false);
      notes::NotifyNoteChanged(context_, note_);
      Switch(next, 0);
      return;
    }
    case IDC_EDITOR_PREVIOUS:
    case IDC_EDITOR_NEXT:
      if (context_.database)
        ::PostMessageW(hwnd, WM_EDITOR_SWITCH,
                       model::AdjacentItemId(*context_.database, note_, item_, id == IDC_EDITOR_NEXT ? 1 : -1), 0);
      return;
    case IDC_EDITOR_EXECUTE:
      if (context_.commands && item_ != 0) context_.commands->ExecuteItem(note_, item_);
      return;
    case IDC_EDITOR_CAPTURE_TITLE:
    case IDC_EDITOR_CAPTURE_CONTENT:
      Capture(id == IDC_EDITOR_CAPTURE_TITLE);
      return;
    case IDC_EDITOR_FIND_CURRENT:
      FindInCurrent();
      return;
    case IDC_EDITOR_FIND_TITLE:
    case IDC_EDITOR_FIND_CONTENT:
      FindNext(id == IDC_EDITOR_FIND_TITLE);
      return;
    case IDC_EDITOR_INSERT: {
      RECT r{};
      ::GetWindowRect(Control(IDC_EDITOR_INSERT), &r);
      if (insertMenu_) ::TrackPopupMenu(insertMenu_, TPM_LEFTBUTTON, r.left, r.bottom, 0, hwnd, nullptr);
      return;
    }
    case IDC_EDITOR_WRAP:
      SwapContentBoxes();
      return;
    default:
      if (id >= 32800 && id < 32900) Insert(id);
      return;
  }
}

INT_PTR ItemEditor::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInit();
      return FALSE;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
      return TRUE;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) {
        ::PostMessageW(hwnd, WM_COMMAND, IDM_EDITOR_CLOSE, 0);
        ::SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, 0);
        return TRUE;
      }
      return FALSE;
    case WM_CLOSE:
      // Escape in the content box closes the dialog this way.  The default
      // handling would send IDCANCEL with the control of that id, which here
      // is the icon box, and open the change-icon dialog instead.
      ::PostMessageW(hwnd, WM_COMMAND, IDM_EDITOR_CLOSE, 0);
      ::SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, 0);
      return TRUE;
    case WM_EDITOR_SWITCH:
      Switch(static_cast<std::uint32_t>(wParam), static_cast<std::uint32_t>(lParam));
      return TRUE;
    case WM_MOUSEACTIVATE: {
      // The capture buttons and "执行" leave the program in front where it
      // is: its selection is copied, or the item types into it.
      POINT p{};
      ::GetCursorPos(&p);
      ::ScreenToClient(hwnd, &p);
      const HWND under = ::ChildWindowFromPointEx(hwnd, p, CWP_SKIPINVISIBLE);
      const bool keepFront = under == Control(IDC_EDITOR_CAPTURE_TITLE) ||
                             under == Control(IDC_EDITOR_CAPTURE_CONTENT) || under == Control(IDC_EDITOR_EXECUTE);
      if (!keepFront) ::SetForegroundWindow(hwnd);
      ::SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, keepFront ? MA_NOACTIVATE : MA_ACTIVATE);
      return TRUE;
    }
    case WM_SIZE:
      Layout();
      return TRUE;
    case WM_NCDESTROY:
      ::RemoveWindowSubclass(Control(IDC_EDITOR_CONTENT), &ContentKeys, kContentSubclass);
      return FALSE;
    default:
      return FALSE;
  }
}

void EditorList::Prune() {
  editors_.remove_if([](const std::unique_ptr<ItemEditor>& e) { return !e->IsOpen(); });
}

void EditorList::Open(notes::ProgramContext& context, HMENU insertMenu, std::uint32_t note, std::uint32_t item,
                      bool newEditor) {
  if (context.database && item != 0) {
    const std::u16string content = model::GetItemContent(*context.database, note, item);
    if (content.size() >= 3 && protect::HasSecretTag(content) &&
        !(context.protection && context.protection->IsUnlocked())) {
      if (context.mainWindow) ::PostMessageW(context.mainWindow, WM_COMMAND, IDM_PASSWORD, 0);
      return;
    }
  }
  Prune();
  ItemEditor* chosen = nullptr;
  if (!newEditor) {
    for (const auto& editor : editors_) {
      if (!editor->Shows(note, item) && editor->ChangedSinceLoad()) continue;
      chosen = editor.get();
      if (!chosen->Shows(note, item)) ::PostMessageW(chosen->hwnd, WM_EDITOR_SWITCH, item, note);
      break;
    }
  }
  if (chosen) {
    // The editor in use goes to the front: it is the first one reused next.
    auto at = std::find_if(editors_.begin(), editors_.end(), [chosen](const auto& e) { return e.get() == chosen; });
    editors_.splice(editors_.begin(), editors_, at);
  }
  if (!chosen) {
    auto editor = std::make_unique<ItemEditor>(context, insertMenu);
    if (!editor->Create(note, item)) return;
    chosen = editor.get();
    editors_.push_front(std::move(editor));
  }
  ::SetForegroundWindow(chosen->hwnd);
}

bool EditorList::PreTranslate(MSG& message) {
  for (const auto& editor : editors_)
    if (editor->IsOpen() && (message.hwnd == editor->hwnd || ::IsChild(editor->hwnd, message.hwnd)))
      return ::IsDialogMessageW(editor->hwnd, &message) != 0;
  return false;
}

std::size_t EditorList::OpenCount() {
  Prune();
  return editors_.size();
}

ItemEditor* EditorList::Newest() {
  Prune();
  return editors_.empty() ? nullptr : editors_.front().get();
}

bool EditorList::CloseAllAsking() {
  Prune();
  for (const auto& editor : editors_) {
    if (editor->Prompting()) return false;
    if (editor->IsOpen() && !editor->AskToClose()) return false;
  }
  Prune();
  return true;
}

void EditorList::CloseAll() { editors_.clear(); }

}  // namespace vellumo::editor
