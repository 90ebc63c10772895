#pragma once
// The database name a command line asks for: the text after the program's
// own name, taken whole as UTF-16 (the ANSI arguments lose every character
// outside the code page) and cut to 127 units.  Empty for none.
#include <string>
#include <string_view>

namespace vellumo::shell {

inline constexpr std::size_t kMaxDatabaseNameUnits = 127;

std::u16string DatabaseNameFromCommandLine(std::u16string_view commandLine);

}  // namespace vellumo::shell
