// Dialog 143 "改变图标": the icons of an icon, program or library file, one
// of which becomes the item's own icon.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

#include "editor/icon_dialog.h"
#include "model/items.h"
#include "platform/window_base.h"
#include "resources/resource.h"

namespace vellumo::editor {

namespace {

constexpr int kPathUnits = 260;
constexpr wchar_t kFallbackIcons[] = L"%SystemRoot%\\system32\\shell32.dll";

// The list view's image list, destroyed with the dialog.
struct ImageListTraits {
  using Handle = HIMAGELIST;
  static constexpr HIMAGELIST Invalid() { return nullptr; }
  static void Close(HIMAGELIST list) { ::ImageList_Destroy(list); }
};
using ImageList = platform::UniqueHandle<ImageListTraits>;

UINT IconCount(const std::wstring& path) { return ::ExtractIconExW(path.c_str(), -1, nullptr, nullptr, 0); }

std::wstring Expanded(const wchar_t* path) {
  wchar_t expanded[kPathUnits * 2] = {};
  const DWORD n = ::ExpandEnvironmentStringsW(path, expanded, kPathUnits * 2);
  return n > 0 && n <= kPathUnits * 2 ? std::wstring(expanded) : std::wstring(path);
}

class IconDialog : public platform::DialogBase<IconDialog> {
 public:
  IconDialog(Ku& db, model::ModelNotifier* notifier, std::uint32_t note, std::uint32_t item, HWND* openSlot)
      : db_(db), notifier_(notifier), note_(note), item_(item), openSlot_(openSlot) {}
  bool changed = false;

 private:
  friend class platform::DialogBase<IconDialog>;
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnInit();
  void List(const std::wstring& path);
  void OnOk();
  void Browse();
  void Store(const std::wstring& path, std::uint32_t index);
  void Tell(const wchar_t* text) { ::MessageBoxW(hwnd, text, L"提示", MB_OK); }
  HWND ListView() const { return ::GetDlgItem(hwnd, IDC_ICON_LIST); }

  Ku& db_;
  model::ModelNotifier* notifier_;
  std::uint32_t note_, item_;
  HWND* openSlot_;
  ImageList images_;
};

void IconDialog::OnInit() {
  // The editor learns the dialog's window as soon as it exists, so that a
  // switch to another item can end it.
  if (openSlot_) *openSlot_ = hwnd;
  std::u16string source;
  (void)model::ItemIconSource(db_, note_, item_, &source);
  std::wstring path = Expanded(std::wstring(source.begin(), source.end()).c_str());
  if (path.empty() || IconCount(path) == 0) path = Expanded(kFallbackIcons);
  ::SetDlgItemTextW(hwnd, IDC_ICON_PATH, path.c_str());
  List(path);
}

void IconDialog::List(const std::wstring& path) {
  ::SetDlgItemTextW(hwnd, IDC_ICON_ACTUAL_PATH, path.c_str());
  const HWND view = ListView();
  ListView_DeleteAllItems(view);
  const UINT count = IconCount(path);
  if (count == 0 || count == UINT_MAX) {
    Tell(L"所选文件没有图标资源");
    return;
  }
  ImageList images(::ImageList_Create(32, 32, ILC_COLOR32 | ILC_MASK, static_cast<int>(count), 1));
  if (!images) return;
  for (UINT i = 0; i < count; ++i) {
    HICON large = nullptr;
    if (::ExtractIconExW(path.c_str(), static_cast<int>(i), &large, nullptr, 1) == 0 || !large) {
      // An icon that cannot be drawn keeps its place: indexes must match
      // the file's.
      large = ::LoadIconW(nullptr, IDI_APPLICATION);
      ::ImageList_AddIcon(images.get(), large);
      continue;
    }
    ::ImageList_AddIcon(images.get(), large);
    ::DestroyIcon(large);
  }
  ListView_SetImageList(view, images.get(), LVSIL_NORMAL);
  images_ = std::move(images);  // the view now draws from the new list
  for (UINT i = 0; i < count; ++i) {
    wchar_t label[16];
    std::swprintf(label, 16, L"%03u", i + 1);
    LVITEMW entry{};
    entry.mask = LVIF_TEXT | LVIF_IMAGE;
    entry.iItem = static_cast<int>(i);
    entry.pszText = label;
    entry.iImage = static_cast<int>(i);
    ListView_InsertItem(view, &entry);
  }
}

void IconDialog::Store(const std::wstring& path, std::uint32_t index) {
  const std::u16string stored(path.begin(), path.end());
  if (model::PutItemIconPath(db_, note_, item_, stored, notifier_) != 0) return;
  if (!path.empty()) (void)model::PutItemIconIndex(db_, note_, item_, index);
  changed = true;
  ::EndDialog(hwnd, 0);
}

void IconDialog::OnOk() {
  if (::GetFocus() == ::GetDlgItem(hwnd, IDC_ICON_PATH)) {
    wchar_t path[kPathUnits + 1] = {};
    ::GetDlgItemTextW(hwnd, IDC_ICON_PATH, path, kPathUnits + 1);
    List(path);
    return;
  }
  const int selected = ListView_GetNextItem(ListView(), -1, LVNI_SELECTED);
  if (selected < 0) {
    Tell(L"未选择任何图标");
    return;
  }
  wchar_t path[kPathUnits + 1] = {};
  ::GetDlgItemTextW(hwnd, IDC_ICON_ACTUAL_PATH, path, kPathUnits + 1);
  Store(path, static_cast<std::uint32_t>(selected));
}

void IconDialog::Browse() {
  wchar_t path[kPathUnits] = {};
  OPENFILENAMEW open{};
  open.lStructSize = sizeof open;
  open.hwndOwner = hwnd;
  open.lpstrFilter = L"图标文件(*.ico;*.exe;*.dll)\0*.ico;*.exe;*.dll\0所有文件(*.*)\0*.*\0";
  open.nFilterIndex = 1;
  open.lpstrFile = path;
  open.nMaxFile = kPathUnits;
  open.Flags = OFN_HIDEREADONLY;
  if (!::GetOpenFileNameW(&open)) return;
  ::SetDlgItemTextW(hwnd, IDC_ICON_PATH, path);
  List(path);
}

INT_PTR IconDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      OnInit();
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
        case IDC_ICON_OK:
          OnOk();
          return TRUE;
        case IDC_ICON_BROWSE:
          Browse();
          return TRUE;
        case IDC_ICON_DEFAULT:
          Store(L"", 0);
          return TRUE;
        case IDCANCEL:
          ::EndDialog(hwnd, 0);
          return TRUE;
        default:
          return FALSE;
      }
    default:
      return FALSE;
  }
}

}  // namespace

bool ShowChangeIconDialog(HINSTANCE instance, HWND owner, Ku& db, model::ModelNotifier* notifier, std::uint32_t note,
                          std::uint32_t item, HWND* open) {
  IconDialog dialog(db, notifier, note, item, open);
  struct Forget {
    HWND* slot;
    ~Forget() {
      if (slot) *slot = nullptr;
    }
  } forget{open};
  ::DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_CHANGE_ICON), owner, &IconDialog::DialogProcedure,
                    reinterpret_cast<LPARAM>(&dialog));
  return dialog.changed;
}

}  // namespace vellumo::editor
