// Test driver for controls nested in pages: finds a control of a running
// program by a path of control ids and acts on it as a person would.
//   drive-dialog CLASS PATH ACTION [ARGUMENT]
// CLASS is the start of the class name of the program's top-level window,
// or "=" and the start of a visible top-level window's title.
// PATH is a comma-separated list of steps, each searched among the visible
// descendants of the window the previous step found:
//   N     the control with id N
//   dN    the dialog that has a control with id N among its own children
// ACTIONS
//   settext TEXT   replaces the text, as typing would (the owner is told)
//   text           prints the text in UTF-8
//   click          clicks the button (check boxes toggle)
//   checked        exit code 0 when the box is checked
//   enter          presses Enter in the control
//   rows           prints a list box's or list view's rows, one per line
//                  (a list view's columns joined by " | ")
//   select N       selects row N of a list box or list view, as a click would
//   choose TEXT    selects the row of a combo box starting with TEXT, as
//                  picking it from the drop-down would
//   dblclick N     double-clicks row N of a list view
//   tab N          clicks tab N of a tab control
//   hotkey VALUE   sets a hot-key box to VALUE (virtual key | modifiers << 8)
// Exit code 0 on success, 1 when the control was not found or the action
// failed, 2 for a bad command line.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Find {
  int id;
  bool dialogWithChild;
  HWND found = nullptr;
};

BOOL CALLBACK Visit(HWND window, LPARAM context) {
  auto* f = reinterpret_cast<Find*>(context);
  if (!::IsWindowVisible(window)) return TRUE;
  if (f->dialogWithChild) {
    const HWND child = ::GetDlgItem(window, f->id);
    if (child && ::GetParent(child) == window) {
      f->found = window;
      return FALSE;
    }
  } else if (::GetDlgCtrlID(window) == f->id) {
    f->found = window;
    return FALSE;
  }
  return TRUE;
}

struct TopSearch {
  std::wstring prefix;
  HWND found = nullptr;
};

BOOL CALLBACK VisitTop(HWND window, LPARAM context) {
  auto* s = reinterpret_cast<TopSearch*>(context);
  wchar_t name[256] = {};
  const bool byTitle = !s->prefix.empty() && s->prefix[0] == L'=';
  if (byTitle && !::IsWindowVisible(window)) return TRUE;
  if (byTitle) ::GetWindowTextW(window, name, 256);
  else ::GetClassNameW(window, name, 256);
  const std::wstring_view wanted = std::wstring_view(s->prefix).substr(byTitle ? 1 : 0);
  if (std::wcsncmp(name, wanted.data(), wanted.size()) != 0) return TRUE;
  s->found = window;
  return FALSE;
}

HWND Resolve(const wchar_t* classPrefix, const wchar_t* path) {
  TopSearch top{classPrefix};
  ::EnumWindows(&VisitTop, reinterpret_cast<LPARAM>(&top));
  HWND at = top.found;
  for (const wchar_t* step = path; at && *step;) {
    const bool dialog = *step == L'd';
    if (dialog) ++step;
    wchar_t* end = nullptr;
    Find f{static_cast<int>(std::wcstol(step, &end, 10)), dialog};
    // A control of the window itself comes first: a combo box's own edit
    // box, deeper down, has an id of its own that pages use too.
    const HWND own = dialog ? nullptr : ::GetDlgItem(at, f.id);
    if (own && ::IsWindowVisible(own)) {
      f.found = own;
    } else {
      ::EnumChildWindows(at, &Visit, reinterpret_cast<LPARAM>(&f));
    }
    at = f.found;
    step = *end == L',' ? end + 1 : end;
  }
  return at;
}

void PrintUtf8(const std::wstring& text) {
  std::string utf8(text.size() * 4 + 2, '\0');
  const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(),
                                          static_cast<int>(utf8.size()), nullptr, nullptr);
  utf8.resize(static_cast<std::size_t>(bytes));
  utf8 += '\n';
  DWORD written = 0;
  ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, 64);
  return name;
}

// List-view texts live in the other process: the request and its buffer are
// placed there and read back.
class RemoteBuffer {
 public:
  RemoteBuffer(HWND window, std::size_t size) : size_(size) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    process_ = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process_) memory_ = ::VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
  }
  ~RemoteBuffer() {
    if (memory_) ::VirtualFreeEx(process_, memory_, 0, MEM_RELEASE);
    if (process_) ::CloseHandle(process_);
  }
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;
  bool ok() const { return memory_ != nullptr; }
  char* at(std::size_t offset) const { return static_cast<char*>(memory_) + offset; }
  bool Write(std::size_t offset, const void* data, std::size_t n) const {
    return ::WriteProcessMemory(process_, at(offset), data, n, nullptr) != 0;
  }
  bool Read(std::size_t offset, void* data, std::size_t n) const {
    return ::ReadProcessMemory(process_, at(offset), data, n, nullptr) != 0;
  }

 private:
  std::size_t size_;
  HANDLE process_ = nullptr;
  void* memory_ = nullptr;
};

int PrintRows(HWND list) {
  if (ClassOf(list) == L"ListBox") {
    const LRESULT count = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      std::wstring text(static_cast<std::size_t>(::SendMessageW(list, LB_GETTEXTLEN, i, 0)) + 1, L'\0');
      const LRESULT n = ::SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
      text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
      PrintUtf8(text);
    }
    return 0;
  }
  constexpr std::size_t kTextUnits = 1024;
  RemoteBuffer remote(list, sizeof(LVITEMW) + kTextUnits * sizeof(wchar_t));
  if (!remote.ok()) return 1;
  const HWND header = reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0));
  const int columns = header ? static_cast<int>(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 1;
  const LRESULT count = ::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
  for (LRESULT row = 0; row < count; ++row) {
    std::wstring line;
    for (int column = 0; column < columns; ++column) {
      LVITEMW item{};
      item.iSubItem = column;
      item.cchTextMax = kTextUnits;
      item.pszText = reinterpret_cast<LPWSTR>(remote.at(sizeof(LVITEMW)));
      if (!remote.Write(0, &item, sizeof item)) return 1;
      const LRESULT n = ::SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(remote.at(0)));
      std::wstring text(kTextUnits, L'\0');
      if (!remote.Read(sizeof(LVITEMW), text.data(), kTextUnits * sizeof(wchar_t))) return 1;
      text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
      if (column > 0) line += L" | ";
      line += text;
    }
    PrintUtf8(line);
  }
  return 0;
}

// A click on a list-view row's label or on a tab, where a person would
// click: the item's rectangle is asked for in the other process.
int ClickItem(HWND control, UINT rectMessage, int index, LONG rectKind, bool twice) {
  RemoteBuffer remote(control, sizeof(RECT));
  if (!remote.ok()) return 1;
  RECT r{rectKind, 0, 0, 0};
  if (!remote.Write(0, &r, sizeof r)) return 1;
  if (!::SendMessageW(control, rectMessage, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(remote.at(0))))
    return 1;
  if (!remote.Read(0, &r, sizeof r)) return 1;
  const LPARAM at = MAKELPARAM(r.left + 4, (r.top + r.bottom) / 2);
  ::PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, at);
  ::PostMessageW(control, WM_LBUTTONUP, 0, at);
  if (twice) {
    ::PostMessageW(control, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    ::PostMessageW(control, WM_LBUTTONUP, 0, at);
  }
  return 0;
}

int SelectRow(HWND list, int row, bool twice) {
  const HWND parent = ::GetParent(list);
  const int id = ::GetDlgCtrlID(list);
  if (ClassOf(list) == L"ListBox") {
    if (::SendMessageW(list, LB_SETCURSEL, row, 0) == LB_ERR) return 1;
    ::PostMessageW(parent, WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    if (twice) ::PostMessageW(parent, WM_COMMAND, MAKEWPARAM(id, LBN_DBLCLK), reinterpret_cast<LPARAM>(list));
    return 0;
  }
  return ClickItem(list, LVM_GETITEMRECT, row, LVIR_LABEL, twice);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) return 2;
  const HWND control = Resolve(argv[1], argv[2]);
  if (!control) return 1;
  const std::wstring action = argv[3];
  const wchar_t* argument = argc > 4 ? argv[4] : L"";
  if (action == L"settext") {
    // Typing notifies the owner; WM_SETTEXT alone does not for every box.
    if (!::SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argument))) return 1;
    ::PostMessageW(::GetParent(control), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(control), EN_CHANGE),
                   reinterpret_cast<LPARAM>(control));
    return 0;
  }
  if (action == L"text") {
    std::wstring text(4096, L'\0');
    DWORD_PTR copied = 0;
    if (!::SendMessageTimeoutW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                               SMTO_ABORTIFHUNG, 5000, &copied))
      return 1;
    text.resize(copied);
    PrintUtf8(text);
    return 0;
  }
  if (action == L"hotkey") {
    // As a key combination pressed in a hot-key box: its value, then the
    // change notice the box sends its owner.
    ::SendMessageW(control, HKM_SETHOTKEY, static_cast<WPARAM>(std::wcstoul(argument, nullptr, 0)), 0);
    ::PostMessageW(::GetParent(control), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(control), EN_CHANGE),
                   reinterpret_cast<LPARAM>(control));
    return 0;
  }
  if (action == L"click") return ::PostMessageW(control, BM_CLICK, 0, 0) ? 0 : 1;
  if (action == L"checked") return ::SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? 0 : 1;
  if (action == L"enter") {
    ::PostMessageW(control, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    ::PostMessageW(control, WM_CHAR, L'\r', 0x001C0001);
    ::PostMessageW(control, WM_KEYUP, VK_RETURN, static_cast<LPARAM>(0xC01C0001u));
    return 0;
  }
  if (action == L"choose") {
    if (::SendMessageW(control, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(argument)) == CB_ERR)
      return 1;
    ::PostMessageW(::GetParent(control), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(control), CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(control));
    return 0;
  }
  if (action == L"rows") return PrintRows(control);
  if (action == L"tab") return ClickItem(control, TCM_GETITEMRECT, static_cast<int>(std::wcstol(argument, nullptr, 10)), 0, false);
  if (action == L"select" || action == L"dblclick")
    return SelectRow(control, static_cast<int>(std::wcstol(argument, nullptr, 10)), action == L"dblclick");
  return 2;
}
