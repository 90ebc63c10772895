// The item editor window: loading, saving, stepping through items, the
// capture buttons, line wrap, search and the insert menu.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "editor/editor_commands.h"
#include "editor/editor_reuse.h"
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
#include "platform/timing_report.h"
#include "protect/secret_content.h"
#include "resources/resource.h"
#include "resources/window_messages.h"

namespace vellumo::editor {

namespace {

constexpr std::size_t kContentBoxLimit = 131072;
constexpr UINT_PTR kContentSubclass = 1;

std::wstring Wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }
std::u16string Narrow(std::wstring_view text) { return std::u16string(text.begin(), text.end()); }

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
    wchar_t filter[kSearchTextUnits + 1] = {};
    ::GetDlgItemTextW(context_.managementDialog, IDC_FILTER, filter, kSearchTextUnits + 1);
    if (filter[0]) {
      ::SetDlgItemTextW(hwnd, IDC_EDITOR_SEARCH, filter);
      searchText_ = SearchTextFromBox(Narrow(filter));
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

int ItemEditor::Ask(const Message& message, UINT type) {
  prompting_ = true;
  const int answer = ::MessageBoxW(hwnd, Wide(message.text).c_str(), Wide(message.caption).c_str(), type);
  prompting_ = false;
  return answer;
}

std::function<std::uint32_t(std::uint32_t, int)> ItemEditor::AdjacentInNote() const {
  return [this](std::uint32_t id, int step) {
    return context_.database ? model::AdjacentItemId(*context_.database, note_, id, step) : 0u;
  };
}

std::u16string ItemEditor::NoteName() const {
  return context_.database ? model::GetNoteName(*context_.database, note_) : std::u16string();
}

bool ItemEditor::IsSecret(std::u16string_view content) const { return IsSecretContent(content); }

void ItemEditor::OnInit() {
  ::SetWindowLongPtrW(hwnd, GWL_EXSTYLE, ::GetWindowLongPtrW(hwnd, GWL_EXSTYLE) | WS_EX_NOACTIVATE);
  ::PostMessageW(hwnd, WM_EDITOR_SWITCH, item_, 0);
  ::SetWindowSubclass(Control(IDC_EDITOR_CONTENT), &ContentKeys, kContentSubclass, 0);
  ::SendDlgItemMessageW(hwnd, IDC_EDITOR_SEARCH, EM_LIMITTEXT, kSearchTextUnits, 0);
  ::SendDlgItemMessageW(hwnd, IDC_EDITOR_TITLE, EM_LIMITTEXT, kTitleReadUnits, 0);
  for (const int box : {IDC_EDITOR_CONTENT, IDC_EDITOR_CONTENT_WRAPPED})
    ::SendDlgItemMessageW(hwnd, box, EM_LIMITTEXT, kContentBoxLimit, 0);
  Layout();
}

void ItemEditor::SetModified(bool modified) {
  modified_ = modified;
  if (modified) changedSinceLoad_ = true;
  const EditorButtons buttons = ButtonsFor(modified);
  ::EnableWindow(Control(IDC_EDITOR_SAVE), buttons.save);
  ::EnableWindow(Control(IDC_EDITOR_EXECUTE), buttons.execute);
}

void ItemEditor::SetCaption(std::u16string_view title) {
  ::SetWindowTextW(hwnd, Wide(EditorCaption(note_, item_, title, NoteName())).c_str());
}

void ItemEditor::Switch(std::uint32_t item, std::uint32_t note) {
  if (iconDialog_) ::EndDialog(iconDialog_, 0);
  if (!SaveOrDiscard(LeaveReason::Switch)) return;
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
  const std::u16string title = Text(IDC_EDITOR_TITLE, kTitleReadUnits);
  std::u16string content = Text(IDC_EDITOR_CONTENT, kContentBoxLimit);
  const bool unlocked = context_.protection && context_.protection->IsUnlocked();
  const SavePlan plan = PlanSave(title, content, unlocked);
  switch (plan.outcome) {
    case SaveOutcome::TitleTooLong:
      Tell(*plan.message);
      return false;
    case SaveOutcome::TitleEmpty:
      Tell(*plan.message);
      ::SetFocus(Control(IDC_EDITOR_TITLE));
      return false;
    case SaveOutcome::NeedsPassword:
      if (context_.mainWindow)
        ::PostMessageW(context_.mainWindow, WM_COMMAND, IDM_PASSWORD, reinterpret_cast<LPARAM>(hwnd));
      return false;
    case SaveOutcome::AskCut:
      if (Ask(*plan.message, MB_ICONWARNING | MB_OKCANCEL) != IDOK) return false;
      content.resize(plan.keepUnits);
      loading_ = true;
      SetText(IDC_EDITOR_CONTENT, content);
      loading_ = false;
      break;
    case SaveOutcome::MakeNote:
      if (const std::uint32_t created = model::CreateNote(*context_.database, plan.noteName); created != 0) {
        content = OpenNoteContent(created);
        if (context_.managementDialog) ::PostMessageW(context_.managementDialog, WM_MGMT_SELECT_NOTE, created, 0);
        loading_ = true;
        SetText(IDC_EDITOR_CONTENT, content);
        loading_ = false;
      }
      break;
    case SaveOutcome::Store:
      break;
  }
  std::u16string stored =
      plan.encrypt ? content.substr(0, 3) + context_.protection->EncryptBody(content.substr(3)) : content;
  std::fill(content.begin(), content.end(), u'\0');
  if (item_ == 0) {
    const std::uint32_t created = context_.items->CreateItem(note_, title, stored, true);
    if (created == 0) {
      Tell(SaveFailedMessage(true));
      return false;
    }
    item_ = created;
  } else if (context_.items->UpdateItem(note_, item_, title, stored) != 0) {
    Tell(SaveFailedMessage(false));
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
  ::SetWindowTextW(hwnd, Wide(NewItemCaption(note_, item_, copy, NoteName())).c_str());
  item_ = 0;
  if (!copy) {
    loading_ = true;
    SetText(IDC_EDITOR_TITLE, u"");
    SetText(IDC_EDITOR_CONTENT, u"");
    loading_ = false;
  }
  SetModified(ModifiedAfterNewItem(copy, ::GetWindowTextLengthW(Control(IDC_EDITOR_TITLE)) == 0,
                                   ::GetWindowTextLengthW(Control(IDC_EDITOR_CONTENT)) == 0));
  ::SetFocus(Control(IDC_EDITOR_TITLE));
  RedrawPreview();
}

bool ItemEditor::SaveOrDiscard(LeaveReason reason) {
  if (!modified_) return true;
  const int answer = Ask(UnsavedQuestion(reason), MB_YESNOCANCEL | MB_ICONQUESTION);
  switch (AfterUnsavedAnswer(answer == IDYES ? Answer::Yes : answer == IDNO ? Answer::No : Answer::Cancel)) {
    case LeaveStep::Stay:
      return false;
    case LeaveStep::SaveThenGo:
      if (!SaveItem()) return false;
      notes::NotifyNoteChanged(context_, note_);
      return true;
    case LeaveStep::Go:
      return true;
  }
  return false;
}

bool ItemEditor::AskToClose() {
  if (prompting_) return false;
  if (modified_) ::SetForegroundWindow(hwnd);
  if (!SaveOrDiscard(LeaveReason::Close)) return false;
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
  std::u16string text = Text(IDC_EDITOR_CONTENT, kWrapReadUnits);
  const WrapPlan plan = PlanWrapSwap(text);
  if (plan.question) {
    if (Ask(*plan.question, MB_ICONWARNING | MB_OKCANCEL) != IDOK) {
      ::CheckDlgButton(hwnd, IDC_EDITOR_WRAP,
                       ::IsDlgButtonChecked(hwnd, IDC_EDITOR_WRAP) == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED);
      return;
    }
    text.resize(plan.keepUnits);
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
  const std::u16string box = Text(IDC_EDITOR_SEARCH, kSearchTextUnits);
  if (OnSearchBoxChange(searchText_, box) == SearchBoxStep::StoreText) {
    searchText_ = SearchTextFromBox(box);
  } else {
    FindInCurrent();
  }
}

void ItemEditor::FindInCurrent() {
  if (searchText_.empty()) return;
  const HWND box = Control(IDC_EDITOR_CONTENT);
  DWORD start = 0, end = 0;
  ::SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  const std::optional<TextMatch> match = FindInText(Text(IDC_EDITOR_CONTENT, kCurrentSearchUnits), searchText_, end);
  if (!match) {
    Tell(kNotFoundInCurrent);
    return;
  }
  ::SendMessageW(box, EM_SETSEL, match->start, match->end);
  ::SendMessageW(box, EM_SCROLLCARET, 0, 0);
}

void ItemEditor::FindNext(bool byTitle) {
  if (searchText_.empty() || !context_.database) return;
  Ku& db = *context_.database;
  const std::uint32_t note = note_;
  ItemSearch found;
  {
    const platform::TimingReport timing(byTitle ? "find-title" : "find-content");
    found = FindNextItem(
        item_, searchText_, !byTitle, [&](std::uint32_t id) { return model::AdjacentItemId(db, note, id, +1); },
        [&](std::uint32_t id) {
          return byTitle ? model::GetItemTitle(db, note, id) : model::GetItemContent(db, note, id);
        });
  }
  if (const std::optional<Message> message =
          ItemSearchMessage(found.result, byTitle ? SearchField::Title : SearchField::Content)) {
    Tell(*message);
  } else if (byTitle) {
    ::PostMessageW(hwnd, WM_EDITOR_SWITCH, found.item, 0);
  } else {
    Switch(found.item, 0);
    if (item_ == found.item) FindInCurrent();
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
      if (prompting_ || !SaveOrDiscard(LeaveReason::Close)) return;
      if (id == IDC_EDITOR_NEW || id == IDC_EDITOR_COPY) {
        NewItem(id == IDC_EDITOR_COPY);
        ::SetFocus(Control(IDC_EDITOR_TITLE));
      } else {
        Close();
      }
      return;
    case IDC_EDITOR_DELETE: {
      if (!context_.items || !context_.database) return;
      switch (PlanDelete(item_, (::GetKeyState(VK_SHIFT) & 0x8000) != 0)) {
        case DeleteStep::Nothing:
          return;
        case DeleteStep::Ask:
          if (Ask(kDeleteQuestion, MB_OKCANCEL) != IDOK) return;
          break;
        case DeleteStep::DeleteNow:
          break;
      }
      const std::uint32_t next = StepTarget(item_, +1, AdjacentInNote());
      if (context_.items->DeleteItem(note_, item_, true) != 0) Tell(kDeleteFailed);
      SetModified(false);
      notes::NotifyNoteChanged(context_, note_);
      Switch(next, 0);
      return;
    }
    case IDC_EDITOR_PREVIOUS:
    case IDC_EDITOR_NEXT:
      if (context_.database)
        ::PostMessageW(hwnd, WM_EDITOR_SWITCH, StepTarget(item_, id == IDC_EDITOR_NEXT ? 1 : -1, AdjacentInNote()), 0);
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
  if (context.database && item != 0 &&
      OpenNeedsPassword(model::GetItemContent(*context.database, note, item),
                        context.protection && context.protection->IsUnlocked())) {
    if (context.mainWindow) ::PostMessageW(context.mainWindow, WM_COMMAND, IDM_PASSWORD, 0);
    return;
  }
  Prune();
  std::vector<EditorView> views;
  for (const auto& editor : editors_)
    views.push_back({editor->IsOpen(), editor->Note(), editor->Item(), editor->ChangedSinceLoad()});
  const EditorChoice choice = ChooseEditor(views, note, item, newEditor);
  ItemEditor* chosen = nullptr;
  if (choice.kind == EditorChoiceKind::New) {
    auto editor = std::make_unique<ItemEditor>(context, insertMenu);
    if (!editor->Create(note, item)) return;
    chosen = editor.get();
    editors_.push_front(std::move(editor));
  } else {
    // The editor in use goes to the front: it is the first one reused next.
    auto at = std::next(editors_.begin(), static_cast<std::ptrdiff_t>(choice.index));
    chosen = at->get();
    if (choice.kind == EditorChoiceKind::Switch) ::PostMessageW(chosen->hwnd, WM_EDITOR_SWITCH, item, note);
    editors_.splice(editors_.begin(), editors_, at);
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
