#include "store/backup.h"

#include <gtest/gtest.h>

#include <fstream>

#include "store_test_util.h"
#include "workload.h"

namespace vellumo {
namespace {

using namespace testing;

struct RecordedMessages : UserMessages {
  std::vector<std::pair<std::u16string, std::u16string>> shown;
  void Show(std::u16string_view text, std::u16string_view caption) override { shown.emplace_back(text, caption); }
};

constexpr std::uint64_t kDay = 86400000;
constexpr std::uint64_t kStart = 1790000000000;  // some time in 2026

struct BackupFixture {
  TempDir dir;
  DatabaseNaming naming{dir.path(), u"vellumo"};
  Ku db;
  RecordedMessages messages;
  BackupFixture() { EXPECT_EQ(db.OpenFiles(naming.File(1, u"ku"), naming.File(1, u"hs")), OpenResult::Created); }
  int Run(BackupMode mode, std::uint64_t now) { return RunBackup(db, mode, naming, messages, now); }
  bool Pair(std::uint32_t n) {
    return std::filesystem::exists(naming.File(n, u"ku.bak")) && std::filesystem::exists(naming.File(n, u"hs.bak"));
  }
  int CountPairs() {
    int n = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.path()))
      if (e.path().u16string().ends_with(u".ku.bak")) ++n;
    return n;
  }
  // A backup pair left by earlier runs, aged by `ageDays`.
  void FakePair(std::uint32_t n, int ageDays) {
    for (const auto* ext : {u"ku.bak", u"hs.bak"}) {
      std::ofstream(naming.File(n, ext)) << "old";
      std::filesystem::last_write_time(naming.File(n, ext),
                                       std::filesystem::file_time_type::clock::now() - std::chrono::hours(24 * ageDays));
    }
  }
};

TEST(Backup, FirstCheckOnlyStartsTheClockThenManualBackupWritesNumberTwo) {
  BackupFixture f;
  ASSERT_EQ(f.db.Put(B("k"), B("v").data(), 1), 0);
  EXPECT_EQ(f.Run(BackupMode::Manual, kStart), 1) << "the first check copies nothing, in every mode";
  EXPECT_EQ(f.CountPairs(), 0);
  EXPECT_TRUE(f.messages.shown.empty());

  EXPECT_EQ(f.Run(BackupMode::Manual, kStart + 1000), 0);
  EXPECT_TRUE(f.Pair(2)) << "number 1 is the live database and is skipped";
  ASSERT_EQ(f.messages.shown.size(), 1u);
  EXPECT_EQ(f.messages.shown[0].first, u"数据库备份完成。");
  EXPECT_EQ(f.messages.shown[0].second, u"便利贴");

  // The copy is a database in its own right.
  Ku copy;
  ASSERT_EQ(copy.OpenFiles(f.naming.File(2, u"ku.bak"), f.naming.File(2, u"hs.bak")), OpenResult::Opened);
  std::vector<std::uint8_t> v;
  EXPECT_EQ(copy.GetValue(B("k"), &v), 0);
}

TEST(Backup, AutomaticChecksAreDueEveryThreeDays) {
  struct Case {
    const char* what;
    std::int64_t sinceLastMs;
    int expected;
  };
  const Case cases[] = {
      {"one hour later", 3600000, 1},
      {"just under three days", static_cast<std::int64_t>(3 * kDay) - 1, 1},
      {"three days", static_cast<std::int64_t>(3 * kDay), 0},
      {"same moment", 0, 0},
      {"clock set back", -static_cast<std::int64_t>(kDay), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BackupFixture f;
    ASSERT_EQ(f.Run(BackupMode::Automatic, kStart), 1);
    EXPECT_EQ(f.Run(BackupMode::Automatic, static_cast<std::uint64_t>(static_cast<std::int64_t>(kStart) + c.sinceLastMs)),
              c.expected);
    EXPECT_EQ(f.CountPairs(), c.expected == 0 ? 1 : 0);
    EXPECT_TRUE(f.messages.shown.empty()) << "automatic backups are silent";
  }
}

TEST(Backup, RotationKeepsTheTenNewestPairs) {
  for (int present : {9, 10, 12}) {
    SCOPED_TRACE(present);
    BackupFixture f;
    for (int i = 0; i < present; ++i) f.FakePair(100 + static_cast<std::uint32_t>(i), 50 - i);  // 100 is the oldest
    ASSERT_EQ(f.Run(BackupMode::Automatic, kStart), 1);
    ASSERT_EQ(f.Run(BackupMode::Automatic, kStart + 3 * kDay), 0);
    EXPECT_EQ(f.CountPairs(), std::min(present + 1, 10));
    const int removed = std::max(0, present - 9);
    for (int i = 0; i < present; ++i)
      EXPECT_EQ(f.Pair(100 + static_cast<std::uint32_t>(i)), i >= removed) << "pair " << 100 + i;
  }
}

TEST(Backup, NumbersWhoseFilesExistAreSkippedAndTheDirectoryRecordIsUsed) {
  BackupFixture f;
  TempDir elsewhere;
  const auto dirText = elsewhere.path().u16string();
  std::vector<std::uint8_t> record;
  for (char16_t c : dirText) {
    record.push_back(static_cast<std::uint8_t>(c));
    record.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  const std::uint8_t key[] = {0x08, 0x02};
  ASSERT_EQ(f.db.Put(key, record.data(), static_cast<std::uint32_t>(record.size())), 0);
  DatabaseNaming there{elsewhere.path(), u"vellumo"};
  std::ofstream(there.File(2, u"hs.bak")) << "in the way";
  ASSERT_EQ(f.Run(BackupMode::Automatic, kStart), 1);
  ASSERT_EQ(f.Run(BackupMode::Automatic, kStart + 3 * kDay), 0);
  EXPECT_TRUE(std::filesystem::exists(there.File(3, u"ku.bak")));
  EXPECT_FALSE(std::filesystem::exists(there.File(2, u"ku.bak")));
  EXPECT_EQ(f.CountPairs(), 0) << "nothing in the live directory";
}

// The program makes the backup directory current for the copy; one that
// cannot be made current leaves the working directory, where the pair goes.
TEST(Backup, ADirectoryThatCannotBeUsedFallsBackToTheWorkingDirectory) {
  struct Case {
    const char* what;
    void (*prepare)(const std::filesystem::path& p);
  };
  const Case cases[] = {
      {"does not exist", [](const std::filesystem::path&) {}},
      {"is a file", [](const std::filesystem::path& p) { std::ofstream(p) << "not a directory"; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BackupFixture f;
    const std::filesystem::path unusable = f.dir / "gone";
    c.prepare(unusable);
    std::vector<std::uint8_t> record;
    for (char16_t ch : unusable.u16string()) {
      record.push_back(static_cast<std::uint8_t>(ch));
      record.push_back(static_cast<std::uint8_t>(ch >> 8));
    }
    const std::uint8_t key[] = {0x08, 0x02};
    ASSERT_EQ(f.db.Put(key, record.data(), static_cast<std::uint32_t>(record.size())), 0);
    ASSERT_EQ(f.Run(BackupMode::Automatic, kStart), 1);
    EXPECT_EQ(f.Run(BackupMode::Automatic, kStart + 3 * kDay), 0);
    EXPECT_TRUE(f.Pair(2)) << "the first number tried, in the working directory";
    EXPECT_TRUE(f.messages.shown.empty());
  }
}

TEST(Backup, BackUpNowCopiesEvenTheFirstTime) {
  BackupFixture f;
  ASSERT_EQ(f.db.Put(B("k"), B("v").data(), 1), 0);
  EXPECT_EQ(BackUpNow(f.db, f.naming, f.messages, kStart), 0);
  EXPECT_TRUE(f.Pair(2));
  ASSERT_EQ(f.messages.shown.size(), 1u) << "one completion message, not one per check";
  EXPECT_EQ(f.messages.shown[0].first, u"数据库备份完成。");
  EXPECT_EQ(BackUpNow(f.db, f.naming, f.messages, kStart + 1000), 0);
  EXPECT_TRUE(f.Pair(3)) << "and again at once, whatever the schedule";
  // The clock it started is the one automatic checks go by.
  EXPECT_EQ(f.Run(BackupMode::Automatic, kStart + kDay), 1);
}

TEST(Compaction, CopiesEveryKeyIntoNumberTwoAndInstallsItAtTheNextStart) {
  BackupFixture f;
  std::map<Bytes, Bytes> model;
  for (std::uint64_t i = 0; i < 3000; ++i) {
    const WorkloadOp op = MakeWorkloadOp(5, i);
    ASSERT_EQ(RunOp(f.db, op), 0);
    ApplyToModel(op, model);
  }
  bool copied = false;
  ASSERT_EQ(CompactDatabase(f.db, f.naming, f.messages, kStart, [&] { copied = true; }), 0);
  EXPECT_TRUE(copied);
  EXPECT_TRUE(f.messages.shown.empty());
  const std::uint64_t endBefore = f.db.EndUnit();
  // The check before compaction started the backup clock.
  std::vector<std::uint8_t> clock;
  ASSERT_EQ(f.db.GetValue(std::vector<std::uint8_t>{0x08, 0x03}, &clock), 0);
  model[Bytes{0x08, 0x03}] = clock;
  f.db.Close();

  EXPECT_TRUE(InstallCompactedDatabase(f.naming, f.messages));
  ASSERT_EQ(f.messages.shown.size(), 1u);
  EXPECT_EQ(f.messages.shown[0].first, u"临时文件已成功改名为正式数据库文件,数据库整理完毕！");
  EXPECT_FALSE(std::filesystem::exists(f.naming.File(2, u"ku")));
  EXPECT_FALSE(InstallCompactedDatabase(f.naming, f.messages)) << "shown once";
  EXPECT_EQ(f.messages.shown.size(), 1u);

  ASSERT_EQ(f.db.OpenFiles(f.naming.File(1, u"ku"), f.naming.File(1, u"hs")), OpenResult::Opened);
  ExpectMatchesModel(f.db, model);
  const StoreCheckReport r = CheckStore(f.db);
  EXPECT_TRUE(r.ok) << r.fault;
  EXPECT_LT(f.db.EndUnit(), endBefore) << "the copy leaves the old free space behind";
}

TEST(Compaction, AReadOnlyOrMissingPairIsLeftAlone) {
  BackupFixture f;
  f.db.Close();
  std::ofstream(f.naming.File(2, u"ku")) << "x";
  EXPECT_FALSE(InstallCompactedDatabase(f.naming, f.messages)) << "the .hs file is missing";
  std::ofstream(f.naming.File(2, u"hs")) << "y";
  std::filesystem::permissions(f.naming.File(2, u"ku"), std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  EXPECT_FALSE(InstallCompactedDatabase(f.naming, f.messages));
  EXPECT_TRUE(std::filesystem::exists(f.naming.File(1, u"ku")));
  EXPECT_TRUE(f.messages.shown.empty());
  std::filesystem::permissions(f.naming.File(2, u"ku"), std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add);
}

TEST(DatabaseNaming, DerivedFromADatabaseFile) {
  const DatabaseNaming n = NamingOfDatabaseFile(std::filesystem::path("/data/notes-00000001.ku"));
  EXPECT_EQ(n.baseName, u"notes");
  EXPECT_EQ(n.directory, std::filesystem::path("/data"));
  EXPECT_EQ(NamingOfDatabaseFile(std::filesystem::path("/data/plain.ku")).baseName, u"plain");
  EXPECT_EQ(NamingOfDatabaseFile(std::filesystem::path("/data/a-b-12.ku")).baseName, u"a-b-12");
}

}  // namespace
}  // namespace vellumo
