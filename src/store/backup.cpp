#include "store/backup.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <system_error>
#include <vector>

#include "platform/process_paths.h"
#include "store/database_path.h"
#include "platform/utf16_bytes.h"
#include "store/record_keys.h"

namespace vellumo {

namespace {

using record_keys::kBackupCounterKey;
using record_keys::kBackupDirectoryKey;
using record_keys::kLastBackupTimeKey;

char16_t FoldAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

bool StartsWithNoCase(std::u16string_view s, std::u16string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (FoldAscii(s[i]) != FoldAscii(prefix[i])) return false;
  return true;
}

bool EndsWithNoCase(std::u16string_view s, std::u16string_view suffix) {
  return s.size() >= suffix.size() && StartsWithNoCase(s.substr(s.size() - suffix.size()), suffix);
}

bool Exists(const std::filesystem::path& p) {
  std::error_code ec;
  return std::filesystem::exists(p, ec);
}

bool Remove(const std::filesystem::path& p) {
  std::error_code ec;
  std::filesystem::remove(p, ec);
  return !Exists(p);
}

std::u16string PathText(const std::filesystem::path& p) { return p.u16string(); }

// The backup pairs of this database in `directory`, oldest first by the
// modification time of their .ku.bak file.
std::vector<std::filesystem::path> ListBackups(const std::filesystem::path& directory, std::u16string_view base) {
  struct Entry {
    std::filesystem::path path;
    std::filesystem::file_time_type time;
  };
  std::vector<Entry> found;
  const std::u16string prefix = std::u16string(base) + u"-";
  std::error_code ec;
  for (std::filesystem::directory_iterator it(directory, ec), end; !ec && it != end; it.increment(ec)) {
    const std::u16string name = it->path().filename().u16string();
    if (!StartsWithNoCase(name, prefix) || !EndsWithNoCase(name, u".ku.bak")) continue;
    std::error_code timeError;
    found.push_back({it->path(), std::filesystem::last_write_time(it->path(), timeError)});
  }
  std::stable_sort(found.begin(), found.end(), [](const Entry& a, const Entry& b) { return a.time < b.time; });
  std::vector<std::filesystem::path> paths;
  for (auto& e : found) paths.push_back(e.path);
  return paths;
}

}  // namespace

std::filesystem::path DatabaseNaming::File(std::uint32_t number, std::u16string_view extension) const {
  return std::filesystem::path(FormatDatabaseFileName(directory.u16string(), platform::PathSeparator(), u"",
                                                      baseName, number, extension));
}

DatabaseNaming ProgramDatabaseNaming() {
  return DatabaseNaming{std::filesystem::path(platform::CurrentDirectory()), DatabaseBaseName()};
}

DatabaseNaming NamingOfDatabaseFile(const std::filesystem::path& kuPath) {
  std::u16string stem = kuPath.stem().u16string();
  const auto dash = stem.rfind(u'-');
  if (dash != std::u16string::npos && stem.size() - dash == 9 &&
      std::all_of(stem.begin() + static_cast<std::ptrdiff_t>(dash) + 1, stem.end(),
                  [](char16_t c) { return c >= u'0' && c <= u'9'; }))
    stem.resize(dash);
  std::filesystem::path dir = kuPath.parent_path();
  if (dir.empty()) dir = std::filesystem::path(platform::CurrentDirectory());
  return DatabaseNaming{dir, stem};
}

std::uint64_t UnixTimeMs() {
  using namespace std::chrono;
  return static_cast<std::uint64_t>(duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

std::u16string StoredBackupDirectory(Ku& db) {
  std::vector<std::uint8_t> value;
  if (db.GetValue(kBackupDirectoryKey, &value) != 0) return {};
  if (value.size() > 2000) value.resize(2000);
  std::u16string text = Utf16FromBytes(value);
  text.resize(std::min(text.size(), text.find(u'\0')));
  return text;
}

namespace {

// The backup directory record, when it names a directory that exists.  The
// program makes it the current directory for the copy; one that cannot be
// made current leaves the working directory in place, and so does this.
std::optional<std::filesystem::path> BackupDirectory(Ku& db) {
  const std::u16string text = StoredBackupDirectory(db);
  if (text.empty()) return std::nullopt;
  std::filesystem::path path(text);
  std::error_code ec;
  if (!std::filesystem::is_directory(path, ec)) return std::nullopt;
  return path;
}

bool HasBackupClock(Ku& db) {
  std::uint8_t stored[8];
  std::uint32_t length = sizeof stored;
  return db.Get(kLastBackupTimeKey, stored, &length) == 0 && length == 8;
}

}  // namespace

int RunBackup(Ku& db, BackupMode mode, const DatabaseNaming& naming, UserMessages& messages, std::uint64_t nowMs) {
  std::uint8_t stored[8] = {};
  std::uint32_t length = sizeof stored;
  const bool hadTime = db.Get(kLastBackupTimeKey, stored, &length) == 0 && length == 8;
  const std::uint64_t last = LoadU64LE(stored);
  // A clock set back before the stored time counts as due.
  if (mode == BackupMode::Automatic && hadTime && last < nowMs && nowMs - last < kBackupIntervalMs) return 1;
  std::uint8_t now[8];
  StoreU64LE(now, nowMs);
  (void)db.Put(kLastBackupTimeKey, now, 8);
  // The first check of a new database only starts the clock.
  if (!hadTime) return 1;

  DatabaseNaming target = naming;
  if (auto directory = BackupDirectory(db)) target.directory = *directory;

  // Keep at most nine older pairs beside the new one.
  for (auto pairs = ListBackups(target.directory, target.baseName);
       static_cast<int>(pairs.size()) >= kBackupPairsKept; pairs.erase(pairs.begin())) {
    const std::filesystem::path& oldest = pairs.front();
    if (!Remove(oldest)) {
      messages.Show(PathText(oldest.filename()), u"便利贴过期备份文件无法删除，自动备份失败");
      return 1;
    }
    std::u16string hsName = oldest.u16string();
    hsName.replace(hsName.size() - 6, 2, u"hs");  // "...ku.bak" -> "...hs.bak"
    (void)Remove(std::filesystem::path(hsName));
  }

  bool copied = false;
  for (int attempt = 0; attempt < 20 && !copied; ++attempt) {
    std::uint8_t step[4] = {1, 0, 0, 0};
    if (db.PutIf(PutIfMode::AddCounter, kBackupCounterKey, step, 4) != 0) continue;
    const std::uint32_t n = LoadU32LE(step);
    // Number 1 is the live database itself.
    if (n == 0 || n == 1) continue;
    copied = db.CopyFilesTo(target.File(n, u"hs.bak"), target.File(n, u"ku.bak"));
  }
  if (!copied) {
    messages.Show(u"便利贴自动备份失败（无法复制备份文件）。", u"错误");
    return 1;
  }
  if (mode == BackupMode::Manual) messages.Show(u"数据库备份完成。", u"便利贴");
  return 0;
}

int BackUpNow(Ku& db, const DatabaseNaming& naming, UserMessages& messages, std::uint64_t nowMs) {
  // The first check only starts the clock; this one is asked for a copy.
  if (!HasBackupClock(db)) (void)RunBackup(db, BackupMode::Manual, naming, messages, nowMs);
  return RunBackup(db, BackupMode::Manual, naming, messages, nowMs);
}

int CompactDatabase(Ku& live, const DatabaseNaming& naming, UserMessages& messages, std::uint64_t nowMs,
                    const std::function<void()>& onCopied) {
  (void)RunBackup(live, BackupMode::BeforeCompaction, naming, messages, nowMs);
  const std::filesystem::path hs2 = naming.File(2, u"hs");
  const std::filesystem::path ku2 = naming.File(2, u"ku");
  for (const auto& p : {hs2, ku2}) {
    if (!Remove(p)) {
      messages.Show(PathText(p), u"删除失败");
      return 1;
    }
  }
  Ku fresh;
  const OpenResult opened = fresh.OpenFiles(ku2, hs2);
  if (fresh.IsBroken() || (opened != OpenResult::Created && opened != OpenResult::Opened)) {
    messages.Show(PathText(ku2), u"库文件创建出错");
    return 1;
  }
  const int rc = live.CopyAllTo(fresh);
  fresh.Close();
  if (rc != 0) {
    // A half-written copy must never be installed at the next start.
    (void)Remove(hs2);
    (void)Remove(ku2);
    return 1;
  }
  if (onCopied) onCopied();
  return 0;
}

bool InstallCompactedDatabase(const DatabaseNaming& naming, UserMessages& messages) {
  const std::filesystem::path hs2 = naming.File(2, u"hs"), ku2 = naming.File(2, u"ku");
  const std::filesystem::path hs1 = naming.File(1, u"hs"), ku1 = naming.File(1, u"ku");
  for (const auto& p : {hs2, ku2}) {
    std::error_code ec;
    const auto status = std::filesystem::status(p, ec);
    if (ec || !std::filesystem::exists(status) || std::filesystem::is_directory(status)) return false;
    if ((status.permissions() & std::filesystem::perms::owner_write) == std::filesystem::perms::none) return false;
  }
  if (!Remove(hs1)) return false;
  (void)Remove(ku1);
  if (Exists(ku1)) return false;
  std::error_code ec;
  std::filesystem::rename(ku2, ku1, ec);
  if (ec) return false;
  std::filesystem::rename(hs2, hs1, ec);
  if (ec) return false;
  messages.Show(u"临时文件已成功改名为正式数据库文件,数据库整理完毕！", u"便利贴");
  return true;
}

}  // namespace vellumo
