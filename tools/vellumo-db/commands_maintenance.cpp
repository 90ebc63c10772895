// backup and compact: the program's own maintenance routines, for a database
// the program is not holding open, so that they can run from a script.
#include <ostream>

#include "db_tool_internal.h"
#include "store/backup.h"
#include "store/ku.h"
#include "text_utf8.h"

namespace vellumo::dbtool {

namespace {

// The routines' message boxes become lines on standard error.
class ErrorStreamMessages final : public UserMessages {
 public:
  explicit ErrorStreamMessages(std::ostream& err) : err_(err) {}
  void Show(std::u16string_view text, std::u16string_view caption) override {
    err_ << "vellumo-db: " << Utf16ToUtf8ForDisplay(caption) << ": " << Utf16ToUtf8ForDisplay(text) << '\n';
    ++shown_;
  }
  int Shown() const { return shown_; }

 private:
  std::ostream& err_;
  int shown_ = 0;
};

int RunBackupCommand(CommandContext& context, CommandArgs) {
  if (const int rc = OpenDatabase(context); rc != kExitOk) return rc;
  ErrorStreamMessages messages(context.err);
  const DatabaseNaming naming = NamingOfDatabaseFile(context.kuPath);
  // A database that never had a backup check only starts its clock on the
  // first one; a script asking for a backup wants one now.
  std::uint8_t stored[8];
  std::uint32_t length = sizeof stored;
  const std::uint8_t key[] = {0x08, 0x03};
  if (context.db->Get(key, stored, &length) != 0 || length != 8)
    (void)RunBackup(*context.db, BackupMode::Manual, naming, messages, UnixTimeMs());
  if (RunBackup(*context.db, BackupMode::Manual, naming, messages, UnixTimeMs()) != 0)
    return messages.Shown() ? kExitError : ReportError(context, "the backup failed");
  return kExitOk;
}

int RunCompactCommand(CommandContext& context, CommandArgs) {
  if (const int rc = OpenDatabase(context); rc != kExitOk) return rc;
  ErrorStreamMessages messages(context.err);
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
