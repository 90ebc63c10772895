#include <windows.h>

#include "platform/file_copy.h"

namespace vellumo::platform {

bool CopyFileNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) noexcept {
  return ::CopyFileW(from.c_str(), to.c_str(), TRUE) != FALSE;
}

}  // namespace vellumo::platform
