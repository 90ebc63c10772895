#include <windows.h>

#include <string>

#include "platform/process_paths.h"

namespace vellumo::platform {

std::u16string CurrentDirectory() {
  wchar_t buffer[1025] = {};
  DWORD n = ::GetCurrentDirectoryW(1024, buffer);
  if (n == 0 || n > 1024) return std::u16string();
  return std::u16string(reinterpret_cast<const char16_t*>(buffer), n);
}

std::u16string ModuleBaseName() {
  wchar_t buffer[1025] = {};
  DWORD n = ::GetModuleFileNameW(nullptr, buffer, 1024);
  std::wstring name(buffer, n);
  auto slash = name.find_last_of(L"\\/");
  if (slash != std::wstring::npos) name.erase(0, slash + 1);
  auto dot = name.find_last_of(L'.');
  if (dot != std::wstring::npos) name.erase(dot);
  return std::u16string(name.begin(), name.end());
}

char16_t PathSeparator() noexcept { return u'\\'; }

}  // namespace vellumo::platform
