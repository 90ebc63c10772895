#pragma once
// vellumo-db: inspects and repairs a database from the command line.
#include <iosfwd>
#include <string>
#include <vector>

namespace vellumo::dbtool {

// Exit codes, distinct so that scripts can tell an absent key from a failure.
inline constexpr int kExitOk = 0;
inline constexpr int kExitAbsent = 1;      // get: the key has no value
inline constexpr int kExitCheckFault = 2;  // check: the database is damaged
inline constexpr int kExitError = 3;       // bad arguments, unopenable database, failed operation

// args are the command-line arguments after the program name, in UTF-8.
// Never throws: every failure becomes a one-line message on err.
int RunDbTool(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace vellumo::dbtool
