// Test program that plays "the focused application": one multi-line edit
// box with the keyboard focus; every change of its text is written, as
// UTF-8, to the file named on the command line (through a temporary file,
// so that a reader never sees half of it), and the tick count of each
// change is appended to that name + ".times", for pacing measurements.
//   typing-target OUTPUT [INITIAL-TEXT [fullscreen]]
// INITIAL-TEXT starts selected; "fullscreen" makes the window a borderless
// one covering the whole screen, as a game or a presentation is.
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace {

constexpr int kEditId = 100;
std::wstring outputPath;

void WriteText(HWND edit) {
  const int length = ::GetWindowTextLengthW(edit);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  ::GetWindowTextW(edit, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(length));
  const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(bytes), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, utf8.data(), bytes, nullptr, nullptr);
  const std::wstring temporary = outputPath + L".tmp";
  HANDLE file = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  ::WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
  ::CloseHandle(file);
  ::MoveFileExW(temporary.c_str(), outputPath.c_str(), MOVEFILE_REPLACE_EXISTING);
  HANDLE times = ::CreateFileW((outputPath + L".times").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (times == INVALID_HANDLE_VALUE) return;
  const std::string line = std::to_string(::GetTickCount()) + "\n";
  ::WriteFile(times, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  ::CloseHandle(times);
}

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == kEditId && HIWORD(wParam) == EN_CHANGE) WriteText(reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_SETFOCUS:
      ::SetFocus(::GetDlgItem(window, kEditId));
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  int argc = 0;
  LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  if (!argv || argc < 2) return 2;
  outputPath = argv[1];
  WNDCLASSW c{};
  c.lpfnWndProc = &Procedure;
  c.hInstance = instance;
  c.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  c.lpszClassName = L"VellumoTypingTarget";
  ::RegisterClassW(&c);
  const bool fullScreen = argc >= 4 && std::wstring(argv[3]) == L"fullscreen";
  HWND window = fullScreen ? ::CreateWindowExW(0, c.lpszClassName, L"打字目标", WS_POPUP | WS_VISIBLE, 0, 0,
                                               ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN),
                                               nullptr, nullptr, instance, nullptr)
                           : ::CreateWindowExW(0, c.lpszClassName, L"打字目标", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 600,
                                               400, 500, 300, nullptr, nullptr, instance, nullptr);
  HWND edit = ::CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", argc >= 3 ? argv[2] : L"",
                                WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL |
                                    ES_NOHIDESEL,
                                0, 0, 480, 260, window, reinterpret_cast<HMENU>(kEditId), instance, nullptr);
  ::SendMessageW(edit, EM_SETSEL, 0, -1);
  ::SetForegroundWindow(window);
  ::SetFocus(edit);
  WriteText(edit);
  ::LocalFree(argv);
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    // Ctrl+A selects all, as in Notepad, where an accelerator does it: the
    // edit box has no such key of its own under Wine.
    if (message.message == WM_KEYDOWN && message.wParam == 'A' && ::GetKeyState(VK_CONTROL) < 0) {
      ::SendMessageW(edit, EM_SETSEL, 0, -1);
      continue;
    }
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return 0;
}
