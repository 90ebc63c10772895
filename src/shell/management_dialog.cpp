// The management window: the note list with its filter, the page tabs and
// the note commands.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "model/items.h"
#include "model/notes.h"
#include "notes/icon_cache.h"
#include "notes/note_window.h"
#include "platform/timing_report.h"
#include "resources/resource.h"
#include "shell/app.h"
#include "shell/management_dialog.h"

namespace vellumo::shell {

namespace {

constexpr UINT_PTR kFilterSubclass = 1;
constexpr UINT WM_PAGE_SYNC_SCROLLBAR = WM_USER + 10;
constexpr int kScrollStep = 30;
constexpr std::size_t kAskNameChars = 120;
constexpr std::size_t kSyncErrorNameChars = 64;

// Enter in the filter box cycles the filter mode; the box gets every other
// key itself.
LRESULT CALLBACK FilterKeys(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR dialog) {
  if (message == WM_CHAR && wParam == VK_RETURN) {
    ::PostMessageW(reinterpret_cast<HWND>(dialog), WM_COMMAND, MAKEWPARAM(IDC_FILTER, 0xFFFF), 0);
    return 0;
  }
  if (message == WM_GETDLGCODE && wParam == VK_RETURN) return DLGC_WANTALLKEYS;
  return ::DefSubclassProc(edit, message, wParam, lParam);
}

std::wstring Wide16(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

// The page container: scrolling is the management window's business.
INT_PTR CALLBACK ContainerProcedure(HWND container, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  ManagementDialog* owner = ManagementDialog::FromDialog(::GetParent(::GetParent(container)));
  switch (message) {
    case WM_VSCROLL:
      if (owner) owner->ScrollPage(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_MOUSEWHEEL:
      if (owner) owner->ScrollPage(GET_WHEEL_DELTA_WPARAM(wParam) > 0 ? SB_LINEUP : SB_LINEDOWN, 0);
      return TRUE;
    case WM_PAGE_SYNC_SCROLLBAR:
      ::SetScrollPos(container, SB_VERT, static_cast<int>(lParam), TRUE);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

std::wstring SyncErrorText(std::u16string_view noteName, std::uint32_t note, int code) {
  const std::wstring name = Wide16(noteName.substr(0, kSyncErrorNameChars));
  wchar_t head[256];
  std::swprintf(head, 256, L"便利贴名字：%ls，便利贴ID：%d，错误代码：#%d", name.c_str(), static_cast<int>(note), code);
  return std::wstring(head) +
         L"\r\n\r\n#1 同步ID或密码错误\r\n#2 此同步ID在此数据库中已被使用\r\n#3 服务端繁忙，请稍后再试\r\n"
         L"#4 密码验证次数过多，请稍后再试\r\n#5 软件版本太低\r\n#9 服务端未知错误\r\n#21 此同步ID存在服务端错误数据";
}

int ManagementDialog::Ask(const std::wstring& text, const wchar_t* caption, UINT type) {
  ModalScope modal(app_);
  return ::MessageBoxW(app_.MainWindowHandle(), text.c_str(), caption, type);
}

void ManagementDialog::OnInit() {
  app_.context.managementDialog = hwnd;
  ::SetWindowSubclass(::GetDlgItem(hwnd, IDC_FILTER), &FilterKeys, kFilterSubclass,
                      reinterpret_cast<DWORD_PTR>(hwnd));
  HWND tabs = ::GetDlgItem(hwnd, IDC_PAGE_TABS);
  const wchar_t* names[] = {L"主要", L"外观", L"项目"};
  for (int i = 0; i < 3; ++i) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(names[i]);
    ::SendMessageW(tabs, TCM_INSERTITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
  }
  pageContainer_ = ::CreateDialogParamW(app_.context.Instance(), MAKEINTRESOURCEW(IDD_PAGE_CONTAINER), tabs,
                                        &ContainerProcedure, 0);
  RECT client{};
  ::GetClientRect(hwnd, &client);
  Layout(client.right, client.bottom);
  ::PostMessageW(hwnd, WM_MGMT_RELOAD, 0, 0);
  ::PostMessageW(hwnd, WM_MGMT_AUTO_OPEN, 0, 0);
}

void ManagementDialog::Layout(int width, int height) {
  auto place = [this](int id, int x, int y, int w, int h) {
    ::SetWindowPos(::GetDlgItem(hwnd, id), nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
  };
  place(IDC_FILTER, 0, 0, 118, 26);
  place(IDC_FILTER_TITLES, 120, 0, 40, 26);
  place(IDC_FILTER_CONTENTS, 160, 0, 40, 26);
  place(IDC_NOTE_LIST, 0, 28, 200, height - 30);
  place(IDC_PAGE_TABS, 201, 1, width - 198, height + 2);
  if (!pageContainer_) return;
  HWND tabs = ::GetDlgItem(hwnd, IDC_PAGE_TABS);
  RECT display{};
  ::GetClientRect(tabs, &display);
  ::SendMessageW(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
  ::SetWindowPos(pageContainer_, nullptr, 1, display.top - 1, display.right, display.bottom - display.top + 2,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  if (page_ && currentTab_ == PageTab::Items) {
    RECT inside{};
    ::GetClientRect(pageContainer_, &inside);
    ::SetWindowPos(page_, nullptr, 0, 0, inside.right, inside.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
  } else if (page_) {
    ::SetWindowPos(page_, nullptr, 0, 0, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
    SetUpScrolling();
  }
}

void ManagementDialog::SetUpScrolling() {
  pageOffset_ = 0;
  minPageOffset_ = 0;
  RECT page{}, inside{};
  ::GetWindowRect(page_, &page);
  ::GetClientRect(pageContainer_, &inside);
  const int pageHeight = page.bottom - page.top;
  if (pageHeight <= inside.bottom) {
    ::ShowScrollBar(pageContainer_, SB_VERT, FALSE);
    return;
  }
  minPageOffset_ = inside.bottom - pageHeight - 1;
  SCROLLINFO info{sizeof info, SIF_RANGE | SIF_PAGE | SIF_POS, 0, pageHeight, static_cast<UINT>(inside.bottom), 0, 0};
  ::SetScrollInfo(pageContainer_, SB_VERT, &info, TRUE);
  ::ShowScrollBar(pageContainer_, SB_VERT, TRUE);
}

void ManagementDialog::MovePage() {
  ::SetWindowPos(page_, nullptr, 0, pageOffset_, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
  ::PostMessageW(pageContainer_, WM_PAGE_SYNC_SCROLLBAR, 0, -pageOffset_);
}

void ManagementDialog::ScrollPage(int request, int thumb) {
  if (!page_ || currentTab_ == PageTab::Items || minPageOffset_ == 0) return;
  switch (request) {
    case SB_LINEUP:
    case SB_PAGEUP:
      pageOffset_ = std::min(pageOffset_ + kScrollStep, 0);
      break;
    case SB_LINEDOWN:
    case SB_PAGEDOWN:
      pageOffset_ = std::max(pageOffset_ - kScrollStep, minPageOffset_);
      break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
      pageOffset_ = std::max(-thumb, minPageOffset_);
      break;
    default:
      return;
  }
  MovePage();
}

void ManagementDialog::ReplaceCurrentEntry(std::u16string_view name) {
  HWND list = ::GetDlgItem(hwnd, IDC_NOTE_LIST);
  if (currentIndex_ >= 0) ::SendMessageW(list, LB_DELETESTRING, static_cast<WPARAM>(currentIndex_), 0);
  const LRESULT index = ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(name).c_str()));
  if (index < 0) return;
  ::SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(index), currentNote_);
  ::SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
  currentIndex_ = static_cast<int>(index);
}

void ManagementDialog::ReloadNotes() {
  const platform::TimingReport timing("list");
  App& app = app_;
  HWND list = ::GetDlgItem(hwnd, IDC_NOTE_LIST);
  ::SendMessageW(list, LB_RESETCONTENT, 0, 0);
  const bool unlocked = app.protection && app.protection->IsUnlocked();
  const std::vector<std::uint32_t> notes =
      app.database ? manager::FilteredNotes(*app.database, filter_, unlocked) : std::vector<std::uint32_t>{};
  // One redraw and one allocation for the whole list, however many notes.
  ::SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  ::SendMessageW(list, LB_INITSTORAGE, notes.size(), notes.size() * 64);
  for (const std::uint32_t note : notes) {
    const std::u16string name = model::GetNoteDisplayName(*app.database, note);
    const LRESULT index = ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(name).c_str()));
    if (index >= 0) ::SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(index), note);
  }
  ::SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  ::InvalidateRect(list, nullptr, TRUE);
  if (!notes.empty()) {
    ::SendMessageW(list, LB_SETCURSEL, 0, 0);
    currentNote_ = 0;
    OnSelectionChange();
  } else {
    currentIndex_ = -1;
    currentNote_ = 0;
    RebuildPage();
  }
  ::SetFocus(::GetDlgItem(hwnd, IDC_FILTER));
  if (notes.empty() && !::IsWindowVisible(app.MainWindowHandle())) ToggleManagementWindow(app, 0);
}

void ManagementDialog::CheckModeButtons() {
  ::CheckDlgButton(hwnd, IDC_FILTER_TITLES, filter_.mode == manager::FilterMode::Titles ? BST_CHECKED : BST_UNCHECKED);
  ::CheckDlgButton(hwnd, IDC_FILTER_CONTENTS,
                   filter_.mode == manager::FilterMode::Contents ? BST_CHECKED : BST_UNCHECKED);
}

void ManagementDialog::OnFilterTextChanged() {
  wchar_t text[manager::kFilterTextUnits + 1] = {};
  ::GetDlgItemTextW(hwnd, IDC_FILTER, text, manager::kFilterTextUnits + 1);
  const std::wstring wide(text);
  std::u16string filterText = manager::FilterText(std::u16string(wide.begin(), wide.end()));
  // Text set by the program itself (a note being selected) is already the
  // filter: reloading again would lose that selection.
  if (filterText == filter_.text) return;
  filter_.text = std::move(filterText);
  ::PostMessageW(hwnd, WM_MGMT_RELOAD, 0, 0);
}

void ManagementDialog::OnFilterEnter() {
  const manager::FilterMode next = manager::NextFilterMode(filter_.mode);
  // Pressing the button of the next mode, or that of the current one to
  // switch the filter off, is what Enter stands for.
  OnFilterButton(next == manager::FilterMode::None ? filter_.mode : next);
}

void ManagementDialog::OnFilterButton(manager::FilterMode button) {
  wchar_t text[manager::kFilterTextUnits + 1] = {};
  ::GetDlgItemTextW(hwnd, IDC_FILTER, text, manager::kFilterTextUnits + 1);
  const std::wstring wide(text);
  filter_.text = manager::FilterText(std::u16string(wide.begin(), wide.end()));
  filter_.mode = manager::ModeAfterButton(filter_.mode, button);
  CheckModeButtons();
  ::SendDlgItemMessageW(hwnd, IDC_PAGE_TABS, TCM_SETCURSEL, static_cast<WPARAM>(PageTab::Items), 0);
  if (currentTab_ != PageTab::Items) {
    currentNote_ = 0;
    currentTab_ = PageTab::Items;
  }
  ::PostMessageW(hwnd, WM_MGMT_RELOAD, 0, 0);
}

void ManagementDialog::OnSelectionChange() {
  HWND list = ::GetDlgItem(hwnd, IDC_NOTE_LIST);
  const LRESULT index = ::SendMessageW(list, LB_GETCURSEL, 0, 0);
  if (index < 0) return;
  currentIndex_ = static_cast<int>(index);
  const auto note = static_cast<std::uint32_t>(::SendMessageW(list, LB_GETITEMDATA, static_cast<WPARAM>(index), 0));
  if (note == currentNote_) return;
  currentNote_ = note;
  RebuildPage();
}

void ManagementDialog::RebuildPage() {
  if (page_) {
    ::DestroyWindow(page_);
    page_ = nullptr;
  }
  itemPage_.reset();
  propertiesPage_.reset();
  appearancePage_.reset();
  app_.currentSettingsPage = nullptr;
  if (pageContainer_) ::ShowScrollBar(pageContainer_, SB_VERT, FALSE);
  if (currentNote_ == 0 || !app_.database) return;
  const std::u16string name = model::GetNoteDisplayName(*app_.database, currentNote_);
  if (model::IsHiddenNoteName(name) && !(app_.protection && app_.protection->IsUnlocked())) {
    ::PostMessageW(app_.MainWindowHandle(), WM_COMMAND, IDM_PASSWORD, 0);
    return;
  }
  if (currentTab_ == PageTab::Items && pageContainer_) {
    itemPage_ = std::make_unique<ItemListPage>(app_, currentNote_, filter_, itemPageFilter_);
    page_ = itemPage_->Create(pageContainer_);
    if (!page_) return;
    RECT inside{};
    ::GetClientRect(pageContainer_, &inside);
    ::SetWindowPos(page_, nullptr, 0, 0, inside.right, inside.bottom, SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  }
  if (!pageContainer_) return;
  if (currentTab_ == PageTab::Main) {
    propertiesPage_ = std::make_unique<PropertiesPage>(app_, currentNote_);
    page_ = propertiesPage_->Create(pageContainer_);
  } else if (currentTab_ == PageTab::Appearance) {
    appearancePage_ = std::make_unique<AppearancePage>(app_, currentNote_);
    page_ = appearancePage_->Create(pageContainer_);
  }
  if (!page_ || currentTab_ == PageTab::Items) return;
  app_.currentSettingsPage = page_;
  SetUpScrolling();
  ::ShowWindow(page_, SW_SHOWNA);
}

void ManagementDialog::SelectNote(std::uint32_t note, PageTab tab) {
  if (note == currentNote_) return;
  filter_ = {};
  ::SetDlgItemTextW(hwnd, IDC_FILTER, L"");
  CheckModeButtons();
  ReloadNotes();
  HWND list = ::GetDlgItem(hwnd, IDC_NOTE_LIST);
  const LRESULT count = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    if (static_cast<std::uint32_t>(::SendMessageW(list, LB_GETITEMDATA, static_cast<WPARAM>(i), 0)) != note) continue;
    ::SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(i), 0);
    ::SendDlgItemMessageW(hwnd, IDC_PAGE_TABS, TCM_SETCURSEL, static_cast<WPARAM>(tab), 0);
    currentTab_ = tab;
    currentNote_ = note;
    currentIndex_ = static_cast<int>(i);
    RebuildPage();
    return;
  }
}

void ManagementDialog::NewNote() {
  if (!app_.database) return;
  // Named "便利贴（%u）" after its own new number.
  const std::uint32_t note = model::CreateNote(*app_.database);
  if (note == 0) return;
  ::PostMessageW(hwnd, WM_MGMT_SELECT_NOTE, note, static_cast<LPARAM>(PageTab::Main));
}

void ManagementDialog::OpenCurrentNote() {
  if (currentNote_ != 0) (void)notes::OpenNoteWindow(app_.context, currentNote_);
}

void ManagementDialog::DeleteOrClearCurrentNote(bool remove) {
  if (currentNote_ == 0 || !app_.database) return;
  Ku& db = *app_.database;
  const std::uint32_t note = currentNote_;
  std::u16string name = model::GetNoteDisplayName(db, note);
  if (name.size() > kAskNameChars) name.resize(kAskNameChars);
  if (Ask(Wide(name), remove ? L"确定删除？" : L"确定清空？", MB_ICONWARNING | MB_OKCANCEL) != IDOK) return;
  if (remove) {
    (void)app_.hotkeys.ChangeNoteHotkey(app_.MainWindowHandle(), db, note, 0);
    notes::CloseNoteWindows(app_.context, note);
    model::DeleteNote(db, note);
    HWND list = ::GetDlgItem(hwnd, IDC_NOTE_LIST);
    if (currentIndex_ >= 0) ::SendMessageW(list, LB_DELETESTRING, static_cast<WPARAM>(currentIndex_), 0);
    currentNote_ = 0;
    currentIndex_ = -1;
    RebuildPage();
    return;
  }
  if (app_.later->IsSynced(note) && app_.itemOperations) {
    // The server drops them too: each deletion is told to the sync engine.
    for (const std::uint32_t item : model::ListItems(db, note)) (void)app_.itemOperations->DeleteItem(note, item, true);
  }
  model::ClearNote(db, note);
  notes::NotifyNoteChanged(app_.context, note);
}

void ManagementDialog::ClearIconCacheAndReport() {
  if (!app_.database) return;
  const std::uint32_t removed = notes::ClearIconCache(*app_.database);
  wchar_t text[64];
  std::swprintf(text, 64, L"共 %d 个图标缓存已清理。", static_cast<int>(removed));
  ModalScope modal(app_);
  ::MessageBoxW(hwnd, text, L"完成", MB_OK);
}

void ManagementDialog::ShowSyncError(std::uint32_t note, int code) {
  const std::u16string name = app_.database ? model::GetNoteDisplayName(*app_.database, note) : std::u16string();
  (void)Ask(SyncErrorText(name, note, code), L"网络同步错误", MB_OK);
}

INT_PTR ManagementDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInit();
      return TRUE;
    case WM_SIZE:
      Layout(LOWORD(lParam), HIWORD(lParam));
      return TRUE;
    case WM_MGMT_RELOAD:
      ReloadNotes();
      return TRUE;
    case WM_MGMT_AUTO_OPEN:
      (void)app_.actionQueue.QueueNumber(actions::ActionKind::OpenByTrigger, actions::kProgramStartTrigger);
      return TRUE;
    case WM_MGMT_SELECT_NOTE:
      SelectNote(static_cast<std::uint32_t>(wParam), static_cast<PageTab>(lParam >= 0 && lParam <= 2 ? lParam : 0));
      return TRUE;
    case WM_MGMT_SYNC_ERROR:
      ShowSyncError(static_cast<std::uint32_t>(wParam), static_cast<int>(lParam));
      return TRUE;
    case WM_MGMT_OPEN_EDITOR:
      ::PostMessageW(app_.MainWindowHandle(), WM_OPEN_ITEM_EDITOR, wParam, lParam);
      return TRUE;
    case WM_MGMT_FOCUS_FILTER:
      ::SetFocus(::GetDlgItem(hwnd, IDC_FILTER));
      return TRUE;
    case WM_NOTES_CHANGED:
      if (static_cast<std::uint32_t>(wParam) == currentNote_ && currentTab_ == PageTab::Items) RebuildPage();
      return TRUE;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->idFrom == IDC_PAGE_TABS && header->code == TCN_SELCHANGE) {
        currentTab_ = static_cast<PageTab>(::SendDlgItemMessageW(hwnd, IDC_PAGE_TABS, TCM_GETCURFOCUS, 0, 0));
        RebuildPage();
      }
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_FILTER:
          if (HIWORD(wParam) == EN_CHANGE) OnFilterTextChanged();
          if (HIWORD(wParam) == 0xFFFF) OnFilterEnter();
          return TRUE;
        case IDC_FILTER_TITLES:
          if (HIWORD(wParam) == BN_CLICKED) OnFilterButton(manager::FilterMode::Titles);
          return TRUE;
        case IDC_FILTER_CONTENTS:
          if (HIWORD(wParam) == BN_CLICKED) OnFilterButton(manager::FilterMode::Contents);
          return TRUE;
        case IDC_NOTE_LIST:
          if (HIWORD(wParam) == LBN_SELCHANGE) OnSelectionChange();
          if (HIWORD(wParam) == LBN_DBLCLK) {
            OpenCurrentNote();
            ::PostMessageW(app_.MainWindowHandle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
          }
          return TRUE;
        case IDM_NEW_NOTE:
          NewNote();
          return TRUE;
        case IDM_OPEN_NOTE:
          OpenCurrentNote();
          return TRUE;
        case IDM_DELETE_NOTE:
          DeleteOrClearCurrentNote(true);
          return TRUE;
        case IDM_CLEAR_NOTE:
          DeleteOrClearCurrentNote(false);
          return TRUE;
        case IDM_CLEAR_ICON_CACHE:
          ClearIconCacheAndReport();
          return TRUE;
        default:
          return FALSE;
      }
    case WM_NCDESTROY:
      ::RemoveWindowSubclass(::GetDlgItem(hwnd, IDC_FILTER), &FilterKeys, kFilterSubclass);
      app_.context.managementDialog = nullptr;
      return FALSE;
    default:
      return FALSE;
  }
}

HWND CreateManagementDialog(App& app, HWND parent) {
  app.managementDialog = std::make_unique<ManagementDialog>(app);
  return ::CreateDialogParamW(app.context.Instance(), MAKEINTRESOURCEW(IDD_MANAGEMENT), parent,
                              &ManagementDialog::DialogProcedure, reinterpret_cast<LPARAM>(app.managementDialog.get()));
}

}  // namespace vellumo::shell
