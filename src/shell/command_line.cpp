#include "shell/command_line.h"

namespace vellumo::shell {

std::u16string DatabaseNameFromCommandLine(std::u16string_view commandLine) {
  // The program's name ends at its closing quote when it is quoted, else at
  // the first blank: the rule by which the system's start-up code finds
  // the arguments.
  std::size_t at = 0;
  if (!commandLine.empty() && commandLine[0] == u'"') {
    const std::size_t close = commandLine.find(u'"', 1);
    at = close == std::u16string_view::npos ? commandLine.size() : close + 1;
  } else {
    while (at < commandLine.size() && commandLine[at] != u' ' && commandLine[at] != u'\t') ++at;
  }
  while (at < commandLine.size() && (commandLine[at] == u' ' || commandLine[at] == u'\t')) ++at;
  std::u16string name(commandLine.substr(at));
  if (name.size() > kMaxDatabaseNameUnits) name.resize(kMaxDatabaseNameUnits);
  return name;
}

}  // namespace vellumo::shell
