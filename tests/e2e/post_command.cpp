// Test driver: posts a WM_COMMAND to a running program's top-level windows,
// the way a menu choice would arrive.
//   post-command class PREFIX ID   windows whose class name starts with PREFIX
//   post-command title TITLE ID    windows whose title is TITLE (e.g. a message box)
//   post-command text TITLE        prints, in UTF-8, the texts of the controls in
//                                  the windows titled TITLE (a message box's text)
//   post-command clipboard         prints the clipboard's text in UTF-8
//   post-command ready TITLE ID    succeeds once a visible window titled TITLE
//                                  has control ID
//   post-command settext TITLE ID TEXT  replaces the text of control ID in the
//                                  window titled TITLE, as typing would
//   post-command visible CLASS     whether a visible window of that class exists
//   post-command memory CLASS      prints the private bytes of the process that
//                                  owns a window whose class starts with CLASS
//   post-command layout            prints the keyboard layout Wine chose and the
//                                  scan code of the Y key, e.g. "04070407 2c"
// Exit code 0 when at least one window received it (or was read), 1 otherwise.
#include <windows.h>
#include <psapi.h>

#include <cstdio>

#include <cwchar>
#include <string>
#include <cstring>

namespace {

struct Search {
  bool byClass;
  std::wstring text;
  WPARAM command;
  int posted = 0;
};

BOOL CALLBACK Visit(HWND window, LPARAM context) {
  auto* s = reinterpret_cast<Search*>(context);
  wchar_t name[512] = {};
  if (s->byClass) ::GetClassNameW(window, name, 512);
  else ::GetWindowTextW(window, name, 512);
  const bool match = s->byClass ? std::wcsncmp(name, s->text.c_str(), s->text.size()) == 0 : s->text == name;
  if (match && ::PostMessageW(window, WM_COMMAND, s->command, 0)) ++s->posted;
  return TRUE;
}

BOOL CALLBACK PrintChildText(HWND child, LPARAM) {
  // WM_GETTEXT, not GetWindowText: across processes the latter gives an
  // edit box's creation text, not what it holds now.
  wchar_t text[1024] = {};
  DWORD_PTR copied = 0;
  if (!::SendMessageTimeoutW(child, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                             &copied))
    return TRUE;
  const int length = static_cast<int>(copied);
  if (length <= 0) return TRUE;
  char utf8[4096];
  const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text, length, utf8, sizeof utf8 - 1, nullptr, nullptr);
  utf8[bytes] = '\n';
  DWORD written = 0;
  ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), utf8, static_cast<DWORD>(bytes + 1), &written, nullptr);
  return TRUE;
}

int PrintTexts(const wchar_t* title) {
  int found = 0;
  for (HWND w = nullptr; (w = ::FindWindowExW(nullptr, w, nullptr, title)) != nullptr; ++found)
    ::EnumChildWindows(w, &PrintChildText, 0);
  return found > 0 ? 0 : 1;
}

BOOL CALLBACK FindByClassPrefix(HWND window, LPARAM context) {
  auto* s = reinterpret_cast<Search*>(context);
  wchar_t name[512] = {};
  ::GetClassNameW(window, name, 512);
  if (std::wcsncmp(name, s->text.c_str(), s->text.size()) != 0) return TRUE;
  s->posted = static_cast<int>(reinterpret_cast<INT_PTR>(window) & 0x7FFFFFFF);
  s->command = reinterpret_cast<WPARAM>(window);
  return FALSE;
}

int PrintPrivateBytes(const wchar_t* classPrefix) {
  Search s{true, classPrefix, 0};
  ::EnumWindows(&FindByClassPrefix, reinterpret_cast<LPARAM>(&s));
  if (s.command == 0) return 1;
  DWORD pid = 0;
  ::GetWindowThreadProcessId(reinterpret_cast<HWND>(s.command), &pid);
  HANDLE process = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
  if (!process) return 1;
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  const BOOL ok =
      ::K32GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
  ::CloseHandle(process);
  if (!ok) return 1;
  char text[32];
  // Wine leaves PrivateUsage at 0 for other processes; the pagefile
  // usage is the same quantity where it is filled.
  const SIZE_T privateBytes = counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
  const int length = std::snprintf(text, sizeof text, "%llu\n", static_cast<unsigned long long>(privateBytes));
  DWORD written = 0;
  ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), text, static_cast<DWORD>(length), &written, nullptr);
  return 0;
}

int PrintClipboard() {
  if (!::OpenClipboard(nullptr)) return 1;
  int result = 1;
  if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* text = static_cast<const wchar_t*>(::GlobalLock(data))) {
      const int length = static_cast<int>(std::wcslen(text));
      std::string utf8(static_cast<std::size_t>(length) * 4 + 1, '\0');
      const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text, length, utf8.data(), static_cast<int>(utf8.size()),
                                              nullptr, nullptr);
      DWORD written = 0;
      ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), static_cast<DWORD>(bytes), &written, nullptr);
      ::GlobalUnlock(data);
      result = 0;
    }
  }
  ::CloseClipboard();
  return result;
}

// The visible window of that title that has the control: a closed
// dialog's window can outlive its X window for a moment, hidden, and one
// just opened is not always the first of its title.
HWND VisibleControl(const wchar_t* title, int id) {
  for (HWND w = nullptr; (w = ::FindWindowExW(nullptr, w, nullptr, title)) != nullptr;)
    if (const HWND control = ::IsWindowVisible(w) ? ::GetDlgItem(w, id) : nullptr) return control;
  return nullptr;
}

int SetControlText(const wchar_t* title, int id, const wchar_t* text) {
  const HWND control = VisibleControl(title, id);
  return control && ::SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? 0 : 1;
}

}  // namespace

// The Y key sits where Z does on a US keyboard when the layout is German:
// its scan code tells which layout Wine derived from the X server.
int PrintLayout() {
  const auto layout = reinterpret_cast<UINT_PTR>(::GetKeyboardLayout(0));
  std::printf("%08x %02x %04x\n", static_cast<unsigned>(layout & 0xFFFFFFFF), ::MapVirtualKeyW('Y', MAPVK_VK_TO_VSC),
              static_cast<unsigned>(::VkKeyScanW(L'\u00DF')) & 0xFFFF);
  return 0;
}

int wmain(int argc, wchar_t** argv) {
  if (argc == 2 && std::wcscmp(argv[1], L"layout") == 0) return PrintLayout();
  if (argc == 2 && std::wcscmp(argv[1], L"clipboard") == 0) return PrintClipboard();
  if (argc == 3 && std::wcscmp(argv[1], L"memory") == 0) return PrintPrivateBytes(argv[2]);
  if (argc == 3 && std::wcscmp(argv[1], L"visible") == 0) {
    const HWND w = ::FindWindowW(argv[2], nullptr);
    return w && ::IsWindowVisible(w) ? 0 : 1;
  }
  if (argc == 3 && std::wcscmp(argv[1], L"text") == 0) return PrintTexts(argv[2]);
  if (argc == 4 && std::wcscmp(argv[1], L"ready") == 0)
    return VisibleControl(argv[2], static_cast<int>(std::wcstol(argv[3], nullptr, 10))) ? 0 : 1;
  if (argc == 5 && std::wcscmp(argv[1], L"settext") == 0)
    return SetControlText(argv[2], static_cast<int>(std::wcstol(argv[3], nullptr, 10)), argv[4]);
  if (argc != 4) return 2;
  Search s{std::wcscmp(argv[1], L"class") == 0, argv[2], static_cast<WPARAM>(std::wcstoul(argv[3], nullptr, 10))};
  ::EnumWindows(&Visit, reinterpret_cast<LPARAM>(&s));
  return s.posted > 0 ? 0 : 1;
}
