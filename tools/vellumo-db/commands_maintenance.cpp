// backup and compact: the program's own maintenance routines, for a database
// the program is not holding open, so that they can run from a script.
#include <ostream>

#include "db_tool_internal.h"
#include "store/backup.h"
#include "store/ku.h"
#include "stderr_messages.h"
#include "text_utf8.h"

namespace vellumo::dbtool {

namespace {

int RunBackupCommand(CommandContext& context, CommandArgs) {
  if (const int rc = OpenDatabase(context); rc != kExitOk) return rc;
  StderrMessages messages(context.err);
  const DatabaseNaming naming = NamingOfDatabaseFile(context.kuPath);
  if (BackUpNow(*context.db, naming, messages, UnixTimeMs()) != 0)
    return messages.Shown() ? kExitError : ReportError(context, "the backup failed");
  return kExitOk;
}

int RunCompactCommand(CommandContext& context, CommandArgs) {
  if (const int rc = OpenDatabase(context); rc != kExitOk) return rc;
  StderrMessages messages(context.err);
  const DatabaseNaming naming = NamingOfDatabaseFile(context.kuPath);
  bool copied = false;
  if (CompactDatabase(*context.db, naming, messages, UnixTimeMs(), [&] { copied = true; }) != 0 || !copied)
    return ReportError(context, Utf16ToUtf8ForDisplay(kCompactionFailedText));
  // What the program does at its next start happens here at once.
  context.db->Close();
  if (!InstallCompactedDatabase(naming, messages))
    return ReportError(context, "the compacted files are written as number 2 but could not replace number 1");
  return kExitOk;
}

const CommandSpec kMaintenanceCommands[] = {
    {"backup", "", "Copies both files to the next numbered backup pair\n"
     "(*.ku.bak and *.hs.bak) in the backup directory, or\n"
     "beside the database, keeping the ten newest pairs.",
     0, 0, DatabaseAccess::ReadWrite, &RunBackupCommand},
    {"compact", "", "Backs up, copies every key into a fresh database\n"
     "and puts it in place of the old one.",
     0, 0, DatabaseAccess::ReadWrite, &RunCompactCommand},
};

}  // namespace

std::span<const CommandSpec> MaintenanceCommands() { return kMaintenanceCommands; }

}  // namespace vellumo::dbtool
