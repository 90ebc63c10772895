#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "platform/process_paths.h"

namespace vellumo::platform {

std::u16string CurrentDirectory() {
  std::error_code ec;
  auto p = std::filesystem::current_path(ec);
  return ec ? std::u16string() : p.u16string();
}

std::u16string ModuleBaseName() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return u"vellumo";
  return exe.stem().u16string();
}

char16_t PathSeparator() noexcept { return u'/'; }

}  // namespace vellumo::platform
