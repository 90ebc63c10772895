// Test program that stands for "the program an item starts": it writes the
// command line it was given, as UTF-8, to its own path + ".txt", one line
// for the whole text and then one line per argument as the C runtime
// splits it, and exits.  A test copies it under the name it needs.
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace {

std::string Utf8(const wchar_t* text) {
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size > 0 ? size : 1), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes.data(), size, nullptr, nullptr);
  bytes.resize(bytes.size() - 1);
  return bytes;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  wchar_t self[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 2;
  const wchar_t* line = ::GetCommandLineW();
  std::string text = Utf8(line) + "\n";
  int argc = 0;
  if (LPWSTR* argv = ::CommandLineToArgvW(line, &argc)) {
    for (int i = 0; i < argc; ++i) text += Utf8(argv[i]) + "\n";
    ::LocalFree(argv);
  }
  // Written aside and renamed, so that a reader never sees half of it.
  const std::wstring path = std::wstring(self) + L".txt";
  const std::wstring temporary = path + L".tmp";
  HANDLE file = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
  if (file == INVALID_HANDLE_VALUE) return 3;
  DWORD written = 0;
  ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  ::CloseHandle(file);
  return ::MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 4;
}
