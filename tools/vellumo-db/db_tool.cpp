#include "db_tool.h"

#include <exception>
#include <istream>
#include <ostream>
#include <system_error>

#include "db_tool_internal.h"
#include "store/ku.h"

namespace vellumo::dbtool {

namespace {

// The program's own live database: base name "vellumo", database number 1.
constexpr std::string_view kDefaultDatabase = "vellumo-00000001.ku";

int RunHelp(CommandContext& context, CommandArgs args);

constexpr CommandSpec kGeneralCommands[] = {
    {"help", "", "Shows this text.", 0, 0, DatabaseAccess::None, &RunHelp},
};

// New command groups are added here; the usage text lists them in this order.
std::vector<CommandSpec> AllCommands() {
  std::vector<CommandSpec> all;
  for (auto group : {InspectCommands(), RecordCommands(), ModelCommands(), TransferCommands(),
                     ProtectCommands(), SyncCommands(), MaintenanceCommands(), std::span<const CommandSpec>(kGeneralCommands)})
    all.insert(all.end(), group.begin(), group.end());
  return all;
}

std::string Synopsis(const CommandSpec& command) {
  std::string text(command.name);
  if (!command.synopsis.empty()) text += " " + std::string(command.synopsis);
  return text;
}

int RunHelp(CommandContext& context, CommandArgs) {
  std::ostream& out = context.out;
  out << "usage: vellumo-db [--db FILE.ku] COMMAND [ARGUMENTS]\n"
         "\n"
         "Looks into and repairs a Vellumo database.  Without --db the live database\n"
         "vellumo-00000001.ku in the current directory is used; its free-space file is\n"
         "the file of the same name with the extension .hs beside it.  Keys and values\n"
         "are written in hexadecimal (printed in lowercase).  Keys are 1 to 16384\n"
         "bytes, values 0 to 65535 bytes; an empty value means the key is absent.\n"
         "\n"
         "commands:\n";
  constexpr std::size_t kColumn = 28;  // summaries are wrapped to 52 columns
  for (const CommandSpec& command : AllCommands()) {
    std::string head = "  " + Synopsis(command);
    std::string_view summary = command.summary;
    bool first = true;
    while (!summary.empty() || first) {
      const std::size_t cut = summary.find('\n');
      const std::string_view line = summary.substr(0, cut);
      if (first && head.size() < kColumn) {
        out << head << std::string(kColumn - head.size(), ' ') << line << '\n';
      } else {
        if (first) out << head << '\n';
        out << std::string(kColumn, ' ') << line << '\n';
      }
      first = false;
      summary = cut == std::string_view::npos ? std::string_view() : summary.substr(cut + 1);
    }
  }
  out << "\n"
         "exit codes: 0 success, 1 key absent (get), 2 damaged database (check),\n"
         "            3 any other error (message on standard error)\n";
  return kExitOk;
}

// Read-only commands look before they open: opening an absent or empty file
// would make a new database of it.
}  // namespace

int OpenDatabase(CommandContext& context) {
  Ku& ku = *context.database;
  const DatabaseAccess access = context.access;
  const std::string kuText = PathText(context.kuPath);
  if (access == DatabaseAccess::ReadOnly) {
    std::error_code ec;
    const auto status = std::filesystem::status(context.kuPath, ec);
    if (!std::filesystem::exists(status)) return ReportError(context, "no database at " + kuText);
    if (std::filesystem::is_regular_file(status) && std::filesystem::file_size(context.kuPath, ec) == 0 && !ec)
      return ReportError(context, "no database at " + kuText + " (the file is empty)");
  }
  switch (ku.OpenFiles(context.kuPath, context.hsPath)) {
    case OpenResult::Opened:
      break;
    case OpenResult::Created:
      context.err << "vellumo-db: created a new database at " << kuText << '\n';
      break;
    case OpenResult::KuUnopenable:
      return ReportError(context, "database is in use by another program or cannot be opened: " + kuText);
    case OpenResult::NotThisFormat:
      return ReportError(context, "not a Vellumo database: " + kuText);
    case OpenResult::Truncated:
      return ReportError(context, "database file is truncated: " + kuText);
  }
  context.db = &ku;
  return kExitOk;
}

namespace {

int Dispatch(const std::vector<std::string>& args, CommandContext& context) {
  std::size_t next = 0;
  std::string dbText(kDefaultDatabase);
  bool dbGiven = false;
  while (next < args.size() && args[next].starts_with("-") && args[next] != "-") {
    const std::string& option = args[next++];
    if (option == "--") break;
    if (option == "--help" || option == "-h") return RunHelp(context, {});
    if (option == "--db" || option.starts_with("--db=")) {
      if (option == "--db") {
        if (next == args.size()) return ReportError(context, "--db needs a file name");
        dbText = args[next++];
      } else {
        dbText = option.substr(5);
      }
      if (dbText.empty()) return ReportError(context, "--db needs a file name");
      dbGiven = true;
      continue;
    }
    return ReportError(context, "unknown option '" + option + "'; run 'vellumo-db help' for the usage");
  }
  if (next == args.size()) return RunHelp(context, {});

  const std::string& name = args[next++];
  const std::vector<CommandSpec> commands = AllCommands();
  const CommandSpec* command = nullptr;
  for (const CommandSpec& candidate : commands)
    if (candidate.name == name) command = &candidate;
  if (command == nullptr)
    return ReportError(context, "unknown command '" + name + "'; run 'vellumo-db help' for the list");

  const CommandArgs commandArgs(args.data() + next, args.size() - next);
  if (commandArgs.size() < command->minArgs || commandArgs.size() > command->maxArgs)
    return ReportError(context, "wrong number of arguments for " + std::string(command->name) +
                                    "; usage: vellumo-db " + Synopsis(*command));

  std::filesystem::path kuPath = PathFromUtf8(dbText);
  if (!dbGiven) kuPath = std::filesystem::absolute(kuPath);
  context.kuPath = kuPath;
  context.hsPath = std::filesystem::path(kuPath).replace_extension(".hs");

  Ku ku;
  context.access = command->access;
  context.database = &ku;
  return command->run(context, commandArgs);
}

}  // namespace

int RunDbTool(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err) {
  CommandContext context{in, out, err, {}, {}, DatabaseAccess::None, nullptr, nullptr};
  try {
    const int rc = Dispatch(args, context);
    out.flush();
    return rc;
  } catch (const std::exception& e) {
    return ReportError(context, std::string("unexpected failure: ") + e.what());
  }
}

}  // namespace vellumo::dbtool
