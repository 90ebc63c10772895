// The management window's note list.  Its pages and note commands come with
// the management window itself; this is the part start-up needs: the list,
// and showing the window when there is no note at all.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <vector>

#include "model/notes.h"
#include "notes/icon_cache.h"
#include "resources/resource.h"
#include "shell/app.h"
#include "shell/management_dialog.h"

namespace vellumo::shell {

void ManagementDialog::ReloadNotes() {
  App& app = app_;
  HWND list = ::GetDlgItem(hwnd, IDC_NOTE_LIST);
  ::SendMessageW(list, LB_RESETCONTENT, 0, 0);
  if (!app.database) return;
  const bool unlocked = app.protection && app.protection->IsUnlocked();
  const std::vector<std::uint32_t> notes = model::ListNotes(*app.database);
  // One redraw and one allocation for the whole list, however many notes.
  ::SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  ::SendMessageW(list, LB_INITSTORAGE, notes.size(), notes.size() * 64);
  for (const std::uint32_t note : notes) {
    const std::u16string name = model::GetNoteDisplayName(*app.database, note);
    if (model::IsHiddenNoteName(name) && !unlocked) continue;
    const LRESULT index = ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(name).c_str()));
    if (index >= 0) ::SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(index), note);
  }
  ::SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  ::InvalidateRect(list, nullptr, TRUE);
  if (::SendMessageW(list, LB_GETCOUNT, 0, 0) == 0 && !::IsWindowVisible(app.MainWindowHandle()))
    ToggleManagementWindow(app, 0);
}

void ManagementDialog::ClearIconCacheAndReport() {
  if (!app_.database) return;
  const std::uint32_t removed = notes::ClearIconCache(*app_.database);
  wchar_t text[64];
  std::swprintf(text, 64, L"共 %d 个图标缓存已清理。", static_cast<int>(removed));
  ModalScope modal(app_);
  ::MessageBoxW(hwnd, text, L"完成", MB_OK);
}

INT_PTR ManagementDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      app_.context.managementDialog = hwnd;
      HWND tabs = ::GetDlgItem(hwnd, IDC_PAGE_TABS);
      const wchar_t* names[] = {L"主要", L"外观", L"项目"};
      for (int i = 0; i < 3; ++i) {
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<wchar_t*>(names[i]);
        ::SendMessageW(tabs, TCM_INSERTITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
      }
      ::PostMessageW(hwnd, WM_MGMT_RELOAD, 0, 0);
      ::PostMessageW(hwnd, WM_MGMT_AUTO_OPEN, 0, 0);
      return TRUE;
    }
    case WM_MGMT_RELOAD:
      ReloadNotes();
      return TRUE;
    case WM_MGMT_AUTO_OPEN: {
      const std::uint8_t programStart[4] = {actions::kProgramStartTrigger, 0, 0, 0};
      (void)app_.actionQueue.QueueAction(actions::ActionKind::OpenByTrigger, programStart);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDM_CLEAR_ICON_CACHE) {
        ClearIconCacheAndReport();
        return TRUE;
      }
      return FALSE;
    case WM_MGMT_FOCUS_FILTER:
      ::SetFocus(::GetDlgItem(hwnd, IDC_FILTER));
      return TRUE;
    case WM_NCDESTROY:
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
