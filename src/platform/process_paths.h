#pragma once
#include <string>

namespace vellumo::platform {

// The process's current directory (UTF-16), without a trailing separator
// guarantee.
std::u16string CurrentDirectory();
// The program's module file name without folder and without last extension.
std::u16string ModuleBaseName();
// The directory separator the database file names use.
char16_t PathSeparator() noexcept;

}  // namespace vellumo::platform
