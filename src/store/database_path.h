#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace vellumo {

// "<dir><prefix><base>-<number %08d>.<extension>", dir ending in a separator.
std::u16string FormatDatabaseFileName(std::u16string_view directory, char16_t separator,
                                      std::u16string_view prefix, std::u16string_view baseName,
                                      std::uint32_t number, std::u16string_view extension);

// The program's base name is its module name unless the command line named
// another one (at most 127 characters are kept).
void SetDatabaseBaseNameOverride(std::u16string_view baseName);
std::u16string DatabaseBaseName();

// The file of database or backup `number` in the current directory.
std::filesystem::path DatabasePath(std::uint32_t number, std::u16string_view extension,
                                   std::u16string_view prefix);

}  // namespace vellumo
