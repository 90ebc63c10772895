#include "shell/item_list_page.h"

#include <commctrl.h>

#include <cstdio>
#include <vector>

#include "manager/item_rows.h"
#include "model/item_operations.h"
#include "notes/note_window.h"
#include "resources/resource.h"
#include "shell/app.h"

namespace vellumo::shell {

namespace {

constexpr UINT WM_ITEMLIST_REFRESH = WM_USER + 10;

}  // namespace

HWND ItemListPage::Create(HWND container) {
  ::CreateDialogParamW(app_.context.Instance(), MAKEINTRESOURCEW(IDD_ITEM_LIST_PAGE), container,
                       &ItemListPage::DialogProcedure, reinterpret_cast<LPARAM>(this));
  return hwnd;
}

void ItemListPage::OnInit() {
  const HWND list = List();
  ListView_SetExtendedListViewStyleEx(list, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT,
                                      LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  const wchar_t* names[] = {L"标题", L"内容"};
  const int widths[] = {200, 2000};
  for (int i = 0; i < 2; ++i) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    column.fmt = LVCFMT_LEFT;
    column.cx = widths[i];
    column.pszText = const_cast<wchar_t*>(names[i]);
    ListView_InsertColumn(list, i, &column);
  }
  ::SendDlgItemMessageW(hwnd, IDC_ITEMS_FILTER, EM_LIMITTEXT, manager::kPageFilterUnits, 0);
  // Setting the box is what fills the list the first time.
  ::SetDlgItemTextW(hwnd, IDC_ITEMS_FILTER, Wide(pageFilter_).c_str());
  ::PostMessageW(hwnd, WM_ITEMLIST_REFRESH, 0, 0);
}

std::uint32_t ItemListPage::ItemAt(int row) const {
  if (row < 0) return 0;
  LVITEMW entry{};
  entry.mask = LVIF_PARAM;
  entry.iItem = row;
  if (!ListView_GetItem(List(), &entry)) return 0;
  return static_cast<std::uint32_t>(entry.lParam);
}

void ItemListPage::Refresh() {
  const HWND list = List();
  ::SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  ListView_DeleteAllItems(list);
  manager::ItemRows rows;
  if (app_.database) rows = manager::ListItemRows(*app_.database, note_, windowFilter_, pageFilter_);
  int index = 0;
  for (const manager::ItemRow& row : rows.rows) {
    std::wstring title = Wide(row.title), content = Wide(row.content);
    LVITEMW entry{};
    entry.mask = LVIF_TEXT | LVIF_PARAM;
    entry.iItem = index;
    entry.pszText = title.data();
    entry.lParam = static_cast<LPARAM>(row.item);
    const int at = ListView_InsertItem(list, &entry);
    if (at < 0) continue;
    ListView_SetItemText(list, at, 1, content.data());
    ++index;
  }
  ::SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  ::RedrawWindow(list, nullptr, nullptr, RDW_FRAME | RDW_ALLCHILDREN | RDW_ERASE | RDW_INVALIDATE);
  ::SetDlgItemTextW(hwnd, IDC_ITEMS_COUNT, Wide(manager::RowCountText(rows.rows.size(), rows.total)).c_str());
}

void ItemListPage::DeleteSelected() {
  const HWND list = List();
  const int selected = static_cast<int>(ListView_GetSelectedCount(list));
  if (selected > 0 && app_.itemOperations) {
    wchar_t text[128];
    std::swprintf(text, 128, L"删除所选 %d 项？\r\n\r\n（提示：按住 Shift 或 Ctrl 可多选）", selected);
    int answer = IDCANCEL;
    {
      ModalScope modal(app_);
      answer = ::MessageBoxW(hwnd, text, L"请确认", MB_ICONQUESTION | MB_OKCANCEL);
    }
    if (answer == IDOK) {
      std::vector<std::uint32_t> items;
      for (int row = ListView_GetNextItem(list, -1, LVNI_SELECTED); row >= 0;
           row = ListView_GetNextItem(list, row, LVNI_SELECTED))
        items.push_back(ItemAt(row));
      for (const std::uint32_t item : items) (void)app_.itemOperations->DeleteItem(note_, item, true);
      notes::NotifyNoteChanged(app_.context, note_);
      Refresh();
    }
  }
  ::SetFocus(list);
}

void ItemListPage::ExecuteSelected() {
  const HWND list = List();
  if (ListView_GetSelectedCount(list) >= 2) {
    ModalScope modal(app_);
    ::MessageBoxW(hwnd, L"不能同时执行多个项目！", L"提示", MB_OK);
    return;
  }
  const std::uint32_t item = ItemAt(ListView_GetNextItem(list, -1, LVNI_SELECTED));
  if (item != 0 && app_.context.commands) app_.context.commands->ExecuteItem(note_, item);
}

void ItemListPage::OnCommand(int id, int code) {
  switch (id) {
    case IDC_ITEMS_FILTER:
      if (code == EN_UPDATE) {
        wchar_t text[manager::kPageFilterUnits + 1] = {};
        ::GetDlgItemTextW(hwnd, IDC_ITEMS_FILTER, text, manager::kPageFilterUnits + 1);
        const std::wstring wide(text);
        pageFilter_ = manager::FoldCase(std::u16string(wide.begin(), wide.end()));
        ::PostMessageW(hwnd, WM_ITEMLIST_REFRESH, 0, 0);
      }
      return;
    case IDC_ITEMS_DELETE:
      DeleteSelected();
      return;
    case IDC_ITEMS_EXECUTE:
      ExecuteSelected();
      return;
    case IDC_ITEMS_NEW:
      if (app_.context.commands) app_.context.commands->OpenItemEditor(note_, 0, false);
      return;
    default:
      return;
  }
}

void ItemListPage::OnNotify(const NMHDR& header) {
  if (header.idFrom != IDC_ITEMS_LIST) return;
  if (header.code != NM_RCLICK && header.code != NM_DBLCLK) return;
  const auto& activate = reinterpret_cast<const NMITEMACTIVATE&>(header);
  const std::uint32_t item = ItemAt(activate.iItem);
  if (header.code == NM_RCLICK) {
    if (app_.context.managementDialog)
      ::PostMessageW(app_.context.managementDialog, WM_MGMT_OPEN_EDITOR, note_, item);
  } else if (item != 0 && app_.context.commands) {
    app_.context.commands->ExecuteItem(note_, item);
  }
}

INT_PTR ItemListPage::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInit();
      return TRUE;
    case WM_ITEMLIST_REFRESH:
      Refresh();
      return TRUE;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_NOTIFY:
      OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
      return TRUE;
    case WM_SIZE: {
      RECT r{};
      ::GetWindowRect(List(), &r);
      ::SetWindowPos(List(), nullptr, 0, 0, LOWORD(lParam) - 20, HIWORD(lParam) - 48,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
      return TRUE;
    }
    case WM_MOUSEACTIVATE: {
      // A double click on a row, or "执行", types into the program that had
      // the focus: the page must not take it.
      POINT p{};
      ::GetCursorPos(&p);
      const HWND under = ::WindowFromPoint(p);
      const bool keep = under == List() || ::IsChild(List(), under) || under == ::GetDlgItem(hwnd, IDC_ITEMS_EXECUTE);
      if (!keep) ::SetForegroundWindow(::GetAncestor(hwnd, GA_ROOT));
      ::SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, keep ? MA_NOACTIVATE : MA_ACTIVATE);
      return TRUE;
    }
    default:
      return FALSE;
  }
}

}  // namespace vellumo::shell
