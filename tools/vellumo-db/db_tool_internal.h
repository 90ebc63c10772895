#pragma once
// The command table and the helpers the command groups share.
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "db_tool.h"

namespace vellumo {
class Ku;
}

namespace vellumo::dbtool {

// What a command does with the database.  Read-only commands must never
// create a database where there was none.
enum class DatabaseAccess { None, ReadOnly, ReadWrite };

struct CommandContext {
  std::istream& in;
  std::ostream& out;
  std::ostream& err;
  std::filesystem::path kuPath;
  std::filesystem::path hsPath;
  DatabaseAccess access = DatabaseAccess::None;
  Ku* database = nullptr;  // opened by OpenDatabase, closed after the command
  Ku* db = nullptr;        // set once OpenDatabase succeeded
};

using CommandArgs = std::span<const std::string>;

struct CommandSpec {
  std::string_view name;
  std::string_view synopsis;  // arguments as shown in the usage text
  std::string_view summary;   // help text, lines separated by '\n'
  std::size_t minArgs;
  std::size_t maxArgs;
  DatabaseAccess access;
  int (*run)(CommandContext& context, CommandArgs args);
};

// Command groups; db_tool.cpp joins them into the table.
std::span<const CommandSpec> InspectCommands();
std::span<const CommandSpec> RecordCommands();
std::span<const CommandSpec> ModelCommands();
std::span<const CommandSpec> TransferCommands();
std::span<const CommandSpec> ProtectCommands();
std::span<const CommandSpec> SyncCommands();
std::span<const CommandSpec> MaintenanceCommands();

// check --repair: the model's repairs of every note (stale order entries,
// item counts), one line per repaired note.  Run only on a database whose
// store check passed.
int RepairNotes(CommandContext& context);

// Commands check their arguments first and open the database afterwards, so
// that a mistyped command never creates or touches a file.  Returns kExitOk
// with context.db set, or reports why not.
int OpenDatabase(CommandContext& context);

// Writes "vellumo-db: message" to err and returns kExitError.
int ReportError(CommandContext& context, std::string_view message);

// Hexadecimal in either case; an empty string is zero bytes.  On failure the
// message says what is wrong and names `what` ("key", "value").
std::optional<std::vector<std::uint8_t>> ParseHex(std::string_view text, std::string_view what, std::string* error);
std::string FormatHex(const std::uint8_t* bytes, std::size_t length);

// A key or prefix: non-empty and at most 16384 bytes.
std::optional<std::vector<std::uint8_t>> ParseKey(std::string_view text, std::string_view what, std::string* error);
// A value: at most 65535 bytes, empty allowed.
std::optional<std::vector<std::uint8_t>> ParseValue(std::string_view text, std::string* error);
// A decimal number in [low, high].
std::optional<std::uint32_t> ParseCount(std::string_view text, std::string_view what, std::uint32_t low,
                                        std::uint32_t high, std::string* error);

std::string PathText(const std::filesystem::path& path);
std::filesystem::path PathFromUtf8(std::string_view text);

}  // namespace vellumo::dbtool
