#pragma once
#include <filesystem>

namespace vellumo::platform {

// Copies a file that may be held open for writing by this process (the live
// database); fails when the target exists.
[[nodiscard]] bool CopyFileNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) noexcept;

}  // namespace vellumo::platform
