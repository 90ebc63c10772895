// Test driver: posts a WM_COMMAND to a running program's top-level windows,
// the way a menu choice would arrive.
//   post-command class PREFIX ID   windows whose class name starts with PREFIX
//   post-command title TITLE ID    windows whose title is TITLE (e.g. a message box)
// Exit code 0 when at least one window received it, 1 otherwise.
#include <windows.h>

#include <cwchar>
#include <string>

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

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) return 2;
  Search s{std::wcscmp(argv[1], L"class") == 0, argv[2], static_cast<WPARAM>(std::wcstoul(argv[3], nullptr, 10))};
  ::EnumWindows(&Visit, reinterpret_cast<LPARAM>(&s));
  return s.posted > 0 ? 0 : 1;
}
