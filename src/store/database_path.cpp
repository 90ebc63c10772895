#include "store/database_path.h"

#include <cstdio>
#include <mutex>

#include "platform/process_paths.h"

namespace vellumo {

namespace {
std::mutex overrideMutex;
std::u16string baseNameOverride;
}  // namespace

std::u16string FormatDatabaseFileName(std::u16string_view directory, char16_t separator,
                                      std::u16string_view prefix, std::u16string_view baseName,
                                      std::uint32_t number, std::u16string_view extension) {
  std::u16string name(directory.substr(0, 1024));
  if (name.empty() || (name.back() != separator && name.back() != u'\\' && name.back() != u'/'))
    name.push_back(separator);
  name += prefix;
  name += baseName;
  name.push_back(u'-');
  char digits[16];
  std::snprintf(digits, sizeof digits, "%08u", number);
  for (const char* d = digits; *d; ++d) name.push_back(static_cast<char16_t>(*d));
  name.push_back(u'.');
  name += extension;
  return name;
}

void SetDatabaseBaseNameOverride(std::u16string_view baseName) {
  std::lock_guard lock(overrideMutex);
  baseNameOverride.assign(baseName.substr(0, 127));
}

std::u16string DatabaseBaseName() {
  {
    std::lock_guard lock(overrideMutex);
    if (!baseNameOverride.empty()) return baseNameOverride;
  }
  return platform::ModuleBaseName();
}

std::filesystem::path DatabasePath(std::uint32_t number, std::u16string_view extension,
                                   std::u16string_view prefix) {
  return std::filesystem::path(FormatDatabaseFileName(platform::CurrentDirectory(), platform::PathSeparator(),
                                                      prefix, DatabaseBaseName(), number, extension));
}

}  // namespace vellumo
