#pragma once
// Backups every three days and on demand, keeping ten numbered pairs, and
// compaction through a fresh database number 2 that replaces number 1 at the
// next start.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "store/ku.h"

namespace vellumo {

// How the store's few messages reach a person (message boxes in the program,
// standard error in the tool, a recorder in tests).
class UserMessages {
 public:
  virtual ~UserMessages() = default;
  virtual void Show(std::u16string_view text, std::u16string_view caption) = 0;
};

// Where a database's files live and the base of their names
// (<base>-<nnnnnnnn>.<ext>).
struct DatabaseNaming {
  std::filesystem::path directory;
  std::u16string baseName;
  std::filesystem::path File(std::uint32_t number, std::u16string_view extension) const;
};

// The live database of the running program: current directory, program name.
DatabaseNaming ProgramDatabaseNaming();
// The naming a .ku file implies: its folder, and its name without "-nnnnnnnn".
DatabaseNaming NamingOfDatabaseFile(const std::filesystem::path& kuPath);

enum class BackupMode : int { Automatic = 0, Manual = 1, BeforeCompaction = 2 };

inline constexpr std::uint64_t kBackupIntervalMs = 259200000;  // three days
inline constexpr int kBackupPairsKept = 10;

// Milliseconds since 1970-01-01 UTC.
std::uint64_t UnixTimeMs();

// 0 when a backup was made, 1 when none was due or it failed.  A backup
// directory that does not exist (or is not a directory) is passed over: the
// pair goes to naming.directory, as it does when no directory is set.
// The stored backup directory: at most 2000 bytes, up to its terminating
// zero; empty when none is set.
std::u16string StoredBackupDirectory(Ku& db);

int RunBackup(Ku& db, BackupMode mode, const DatabaseNaming& naming, UserMessages& messages, std::uint64_t nowMs);

// A manual backup that is made even for a database that never had a backup
// check, where RunBackup would only start the clock: for callers that are
// asked for a backup now (the command-line tool), not on a schedule.
int BackUpNow(Ku& db, const DatabaseNaming& naming, UserMessages& messages, std::uint64_t nowMs);

// Writes database number 2 from the live one.  The program ends the process
// in onCopied; the function returns 0 after onCopied, nonzero on failure
// (the caller then reports "便利贴数据库整理失败（无法创建临时数据库文件）。").
int CompactDatabase(Ku& live, const DatabaseNaming& naming, UserMessages& messages, std::uint64_t nowMs,
                    const std::function<void()>& onCopied);
inline constexpr char16_t kCompactionFailedText[] = u"便利贴数据库整理失败（无法创建临时数据库文件）。";

// Moves a compacted number-2 pair over number 1; true when it did.
bool InstallCompactedDatabase(const DatabaseNaming& naming, UserMessages& messages);

}  // namespace vellumo
