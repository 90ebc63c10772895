#include "db_tool.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "store/ku.h"
#include "support/temp_dir.h"

namespace vellumo::dbtool {
namespace {

namespace fs = std::filesystem;

struct RunResult {
  int code;
  std::string out;
  std::string err;
};

std::string PathUtf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

class DbToolTest : public ::testing::Test {
 protected:
  vellumo::testing::TempDir dir;
  fs::path kuPath = dir / "t-00000001.ku";
  fs::path hsPath = dir / "t-00000001.hs";

  RunResult RunRaw(std::vector<std::string> args, const std::string& input = "") {
    std::istringstream in(input);
    std::ostringstream out, err;
    const int code = RunDbTool(args, in, out, err);
    return {code, out.str(), err.str()};
  }
  // Runs against this test's database.
  RunResult Run(std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), {"--db", PathUtf8(kuPath)});
    return RunRaw(std::move(args), input);
  }
  // Creates the database, as the program would, without writing a record.
  void CreateEmpty() {
    Ku ku;
    ASSERT_EQ(ku.OpenFiles(kuPath, hsPath), OpenResult::Created);
  }
  void ExpectOk(const RunResult& r, const std::string& out) {
    EXPECT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out, out);
  }
};

// Arguments are refused before the database is touched, so none of these
// creates a file, not even the writing commands.
TEST_F(DbToolTest, BadArgumentsAreOneLineErrorsAndTouchNothing) {
  const std::string longKey(2 * 16385, 'a');
  const std::string longValue(2 * 65536, '0');
  struct Case {
    std::vector<std::string> args;
    std::string errPart;
  } cases[] = {
      {{"frobnicate"}, "unknown command 'frobnicate'"},
      {{"get"}, "wrong number of arguments for get; usage: vellumo-db get KEY"},
      {{"get", "61", "62"}, "wrong number of arguments for get"},
      {{"stat", "x"}, "wrong number of arguments for stat"},
      {{"put"}, "wrong number of arguments for put"},
      {{"put", "61"}, "put needs a VALUE"},
      {{"get", "6g"}, "bad hexadecimal digit 'g' at position 2 of the key"},
      {{"get", "616"}, "the key has an odd number of hexadecimal digits (3)"},
      {{"get", ""}, "the key is empty"},
      {{"get", longKey}, "the key is 16385 bytes long; at most 16384"},
      {{"put", "61", "zz"}, "bad hexadecimal digit 'z' at position 1 of the value"},
      {{"put", "61", "123"}, "the value has an odd number"},
      {{"put", "61", longValue}, "the value is 65536 bytes long; at most 65535"},
      {{"put", "", "01"}, "the key is empty"},
      {{"scan", "61", "2"}, "scan takes MIN and MAX together"},
      {{"scan", "61", "0", "4"}, "MIN must be a number from 1 to 16384, not '0'"},
      {{"scan", "61", "2", "16385"}, "MAX must be a number from 1 to 16384"},
      {{"scan", "61", "3", "2"}, "MIN must not be greater than MAX"},
      {{"scan", "6x"}, "bad hexadecimal digit 'x'"},
      {{"erase", ""}, "the prefix is empty"},
      {{"erase", "61", "-1"}, "MAX must be a number"},
      {{"erase", "61", "4x"}, "MAX must be a number"},
      {{"--frob", "stat"}, "unknown option '--frob'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.empty() ? "" : c.args[0] + (c.args.size() > 1 ? " " + c.args[1].substr(0, 8) : ""));
    const RunResult r = Run(c.args);
    EXPECT_EQ(r.code, kExitError);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find(c.errPart), std::string::npos) << r.err;
    EXPECT_EQ(r.err.rfind("vellumo-db: ", 0), 0u) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line: " << r.err;
    EXPECT_FALSE(fs::exists(kuPath));
  }
  const RunResult noFile = RunRaw({"--db"});
  EXPECT_EQ(noFile.code, kExitError);
  EXPECT_NE(noFile.err.find("--db needs a file name"), std::string::npos);
}

TEST_F(DbToolTest, HelpListsEveryCommand) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{}, {"help"}, {"--help"}}) {
    const RunResult r = Run(args);
    EXPECT_EQ(r.code, kExitOk);
    EXPECT_EQ(r.out.rfind("usage: vellumo-db [--db FILE.ku] COMMAND", 0), 0u);
    for (const char* line : {"\n  stat ", "\n  check ", "\n  get KEY ", "\n  put KEY VALUE | put -",
                             "\n  scan [PREFIX [MIN MAX]]", "\n  erase PREFIX [MAX]", "\n  help "})
      EXPECT_NE(r.out.find(line), std::string::npos) << line;
    EXPECT_NE(r.out.find("stay applied"), std::string::npos);
  }
  EXPECT_FALSE(fs::exists(kuPath));
}

// Values on both sides of the inline limit (6 bytes), and the largest key and
// value, come back as they went in; input hex may be upper case.
TEST_F(DbToolTest, PutThenGetRoundTripsEveryValueShape) {
  struct Case {
    std::string key, value;
  } cases[] = {
      {"00", "ff"},
      {"61", "010203040506"},
      {"6161", "01020304050607"},
      {"616161", "0102030405060708"},
      {"62", std::string(2 * 300, 'c')},
      {"63", std::string(2 * 65535, 'e')},
      {std::string(2 * 16384, '7'), "5a"},
  };
  for (const Case& c : cases) {
    const RunResult r = Run({"put", c.key, c.value});
    EXPECT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out, "");
  }
  for (const Case& c : cases) ExpectOk(Run({"get", c.key}), c.value + "\n");
  ExpectOk(Run({"put", "ABCD", "EF0A"}), "");
  ExpectOk(Run({"get", "abcd"}), "ef0a\n");
  EXPECT_EQ(Run({"check"}).code, kExitOk);
}

TEST_F(DbToolTest, GetOfAnAbsentOrClearedKeyExitsOne) {
  CreateEmpty();
  ASSERT_EQ(Run({"put", "62", "01"}).code, kExitOk);
  ASSERT_EQ(Run({"put", "626465", "02"}).code, kExitOk);
  // An empty root slot, a mismatch and an early end inside the path run 6465,
  // a key beyond the last leaf.
  for (const char* key : {"61", "6263", "6264", "62646566"}) {
    SCOPED_TRACE(key);
    const RunResult r = Run({"get", key});
    EXPECT_EQ(r.code, kExitAbsent);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, std::string("vellumo-db: key ") + key + " has no value\n");
  }
  ASSERT_EQ(Run({"put", "62", "0102030405060708"}).code, kExitOk);
  ExpectOk(Run({"put", "62", ""}), "");
  EXPECT_EQ(Run({"get", "62"}).code, kExitAbsent);
  // Clearing what was never stored is not an error, wherever the walk ends.
  for (const char* key : {"7a", "627a", "6264"}) {
    SCOPED_TRACE(key);
    ExpectOk(Run({"put", key, ""}), "");
  }
  ExpectOk(Run({"scan"}), "626465 02\n");
  EXPECT_EQ(Run({"check"}).code, kExitOk);
}

class DbToolScanTest : public DbToolTest {
 protected:
  void SetUp() override {
    const RunResult r = Run({"put", "-"},
                            "61 01\n"
                            "6100 02\n"
                            "6161 0102030405060708090a\n"
                            "6162 04\n"
                            "616263 " + std::string(2 * 300, 'd') + "\n"
                            "62 06\n"
                            "00ff 07\n");
    ASSERT_EQ(r.code, kExitOk) << r.err;
  }
  const std::string big = std::string(2 * 300, 'd');
};

TEST_F(DbToolScanTest, ListsKeysInOrderWithinPrefixAndLengthBounds) {
  struct Case {
    std::vector<std::string> args;
    std::string out;
  } cases[] = {
      {{"scan"}, "00ff 07\n61 01\n6100 02\n6161 0102030405060708090a\n6162 04\n616263 " + big + "\n62 06\n"},
      {{"scan", ""}, "00ff 07\n61 01\n6100 02\n6161 0102030405060708090a\n6162 04\n616263 " + big + "\n62 06\n"},
      // The prefix key itself is not listed.
      {{"scan", "61"}, "6100 02\n6161 0102030405060708090a\n6162 04\n616263 " + big + "\n"},
      {{"scan", "6162"}, "616263 " + big + "\n"},
      {{"scan", "63"}, ""},
      {{"scan", "61", "2", "2"}, "6100 02\n6161 0102030405060708090a\n6162 04\n"},
      // A MIN beyond the prefix bounds the length without fixing zero bytes.
      {{"scan", "", "3", "3"}, "616263 " + big + "\n"},
      {{"scan", "", "2", "16384"}, "00ff 07\n6100 02\n6161 0102030405060708090a\n6162 04\n616263 " + big + "\n"},
      // With MIN 1 nothing is fixed and the listing starts at the prefix.
      {{"scan", "6162", "1", "16384"}, "61 01\n6162 04\n616263 " + big + "\n62 06\n"},
      {{"scan", "", "1", "1"}, "61 01\n62 06\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    ExpectOk(Run(c.args), c.out);
  }
}

TEST_F(DbToolScanTest, EraseCountsWhatItRemovesAndLeavesTheRest) {
  ExpectOk(Run({"erase", "61", "2"}), "4\n");
  ExpectOk(Run({"scan"}), "00ff 07\n616263 " + big + "\n62 06\n");
  ExpectOk(Run({"erase", "61"}), "1\n");
  ExpectOk(Run({"erase", "61"}), "0\n");
  EXPECT_EQ(Run({"get", "616263"}).code, kExitAbsent);
  ExpectOk(Run({"scan"}), "00ff 07\n62 06\n");
  EXPECT_EQ(Run({"check"}).code, kExitOk);
}

TEST_F(DbToolTest, PutLinesAppliesEachLineAndStopsAtTheFirstBadOne) {
  ExpectOk(Run({"put", "-"}, "6161 01\n\n  6162\t0203  \r\n6161\n"), "3\n");
  EXPECT_EQ(Run({"get", "6161"}).code, kExitAbsent);
  ExpectOk(Run({"get", "6162"}), "0203\n");

  struct Case {
    std::string badLine, errPart;
  } cases[] = {
      {"7a 01 02", "line 3: expected KEY or KEY VALUE, found 3 fields; 1 earlier line stays applied"},
      {"7a 0g", "line 3: bad hexadecimal digit 'g' at position 2 of the value; 1 earlier line stays applied"},
      {"7 01", "line 3: the key has an odd number of hexadecimal digits (1)"},
      {std::string(2 * 16385, '7') + " 01", "line 3: the key is 16385 bytes long"},
      {"7a " + std::string(2 * 65536, '0'), "line 3: the value is 65536 bytes long"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.errPart);
    ASSERT_EQ(Run({"put", "71", ""}).code, kExitOk);
    ASSERT_EQ(Run({"put", "72", ""}).code, kExitOk);
    const RunResult r = Run({"put", "-"}, "71 01\n\n" + c.badLine + "\n72 02\n");
    EXPECT_EQ(r.code, kExitError);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find(c.errPart), std::string::npos) << r.err;
    ExpectOk(Run({"get", "71"}), "01\n");
    EXPECT_EQ(Run({"get", "72"}).code, kExitAbsent);
    EXPECT_EQ(Run({"get", "7a"}).code, kExitAbsent);
  }
  const RunResult first = Run({"put", "-"}, "zz\n");
  EXPECT_EQ(first.err, "vellumo-db: line 1: bad hexadecimal digit 'z' at position 1 of the key; nothing was applied\n");
}

TEST_F(DbToolTest, StatShowsTheHeaderAndTheFreeSpaceCounters) {
  CreateEmpty();
  RunResult r = Run({"stat"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  const std::string kuBytes = "ku file bytes: " + std::to_string(fs::file_size(kuPath)) + "\n";
  const std::string hsBytes = "hs file bytes: " + std::to_string(fs::file_size(hsPath)) + "\n";
  EXPECT_EQ(r.out,
            "magic: TLBX\nversion: 3\nroot kind: 65\naddress width: 6\nunit size: 8\nEndUnit: 229\n" + kuBytes +
                hsBytes +
                "RecordHighWater: 0\nRecycledHead: 0\nSplitOrMissCount: 0\nReleaseCount: 0\nReleaseWraps: 0\n"
                "ReuseCount: 0\nReuseWraps: 0\nFreeUnits: 0\nfree-space map reset at open: no\n"
                "free-space file usable: yes\n");

  // A leaf at 229 and a one-unit value block at 230; growing the value to two
  // units releases that block and takes fresh space at 231.
  ASSERT_EQ(Run({"put", "61", "01020304050607"}).code, kExitOk);
  ASSERT_EQ(Run({"put", "61", "0102030405060708090a0b0c0d0e0f10"}).code, kExitOk);
  r = Run({"stat"});
  for (const char* line : {"\nEndUnit: 233\n", "\nRecordHighWater: 1\n", "\nReleaseCount: 1\n", "\nFreeUnits: 1\n",
                           "\nReuseCount: 0\n"})
    EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
  ExpectOk(Run({"check"}), "ok: 1 keys, 2 nodes, 1 value blocks, 1 free blocks (1 units), 232 used units, "
                           "EndUnit 233\n");
}

// The root's slot for 'a' is made to name a node beyond EndUnit.
TEST_F(DbToolTest, CheckNamesTheFirstFaultOfADamagedDatabase) {
  ASSERT_EQ(Run({"put", "616263", "01"}).code, kExitOk);
  ASSERT_EQ(Run({"check"}).code, kExitOk);
  {
    std::fstream file(kuPath, std::ios::in | std::ios::out | std::ios::binary);
    const std::streamoff slot = 32 + 8 + 7 * 0x61;
    const char far[6] = {0x00, 0x10, 0x00, 0x00, 0x00, 0x00};  // unit 4096
    file.seekp(slot + 1);
    file.write(far, sizeof far);
    ASSERT_TRUE(file.good());
  }
  const RunResult r = Run({"check"});
  EXPECT_EQ(r.code, kExitCheckFault);
  EXPECT_EQ(r.out, "damaged: node outside the used area at unit 4096\n");
  // The other commands survive it and say that they could not read, rather
  // than that nothing is there.
  const RunResult get = Run({"get", "616263"});
  EXPECT_EQ(get.code, kExitError);
  EXPECT_EQ(get.err, "vellumo-db: cannot read key 616263 (store error 288)\n");
  EXPECT_EQ(Run({"get", "7a"}).code, kExitAbsent) << "an empty slot is still absent";
  const RunResult scan = Run({"scan"});
  EXPECT_EQ(scan.code, kExitError);
  EXPECT_NE(scan.err.find("a node could not be read"), std::string::npos);
}

// Every way opening can fail, and read-only commands leaving no file behind.
TEST_F(DbToolTest, OpenFailuresAreNamedWithThePath) {
  const std::string ku = PathUtf8(kuPath);
  for (const char* command : {"stat", "check", "get", "scan"}) {
    SCOPED_TRACE(command);
    std::vector<std::string> args{command};
    if (std::string(command) == "get") args.push_back("61");
    const RunResult r = Run(args);
    EXPECT_EQ(r.code, kExitError);
    EXPECT_EQ(r.err, "vellumo-db: no database at " + ku + "\n");
    EXPECT_FALSE(fs::exists(kuPath));
    EXPECT_FALSE(fs::exists(hsPath));
  }
  std::ofstream(kuPath, std::ios::binary).flush();
  EXPECT_EQ(Run({"stat"}).err, "vellumo-db: no database at " + ku + " (the file is empty)\n");
  EXPECT_EQ(fs::file_size(kuPath), 0u);

  struct Case {
    std::string content;
    std::string err;
  } cases[] = {
      {"this is a text file and certainly not a database\n", "not a Vellumo database: " + ku},
      {"TLBX", "database file is truncated: " + ku},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.err);
    { std::ofstream(kuPath, std::ios::binary | std::ios::trunc) << c.content; }
    for (const std::vector<std::string>& args : {std::vector<std::string>{"stat"}, {"put", "61", "01"}}) {
      const RunResult r = Run(args);
      EXPECT_EQ(r.code, kExitError);
      EXPECT_EQ(r.err, "vellumo-db: " + c.err + "\n");
    }
    EXPECT_EQ(fs::file_size(kuPath), c.content.size());
  }
  fs::remove(kuPath);

  // A real database cut short of its EndUnit.
  ASSERT_EQ(Run({"put", "61", "01"}).code, kExitOk);
  fs::resize_file(kuPath, 1000);
  EXPECT_EQ(Run({"check"}).err, "vellumo-db: database file is truncated: " + ku + "\n");
}

TEST_F(DbToolTest, ADatabaseHeldOpenElsewhereIsReportedInUse) {
  CreateEmpty();
  Ku holder;
  ASSERT_EQ(holder.OpenFiles(kuPath, hsPath), OpenResult::Opened);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"stat"}, {"put", "61", "01"}, {"check"}}) {
    const RunResult r = Run(args);
    EXPECT_EQ(r.code, kExitError);
    EXPECT_EQ(r.err, "vellumo-db: database is in use by another program or cannot be opened: " + PathUtf8(kuPath) +
                         "\n");
  }
  holder.Close();
  EXPECT_EQ(Run({"check"}).code, kExitOk);

  // Without its free-space file the database still works; stat and check
  // say that released space is not reused.
  fs::remove(hsPath);
  fs::create_directory(hsPath);
  const RunResult stat = Run({"stat"});
  EXPECT_EQ(stat.code, kExitOk) << stat.err;
  EXPECT_NE(stat.out.find("\nfree-space file usable: no (released space is not reused)\n"), std::string::npos)
      << stat.out;
  EXPECT_EQ(Run({"put", "61", "0102030405060708"}).code, kExitOk);
  const RunResult check = Run({"check"});
  EXPECT_EQ(check.code, kExitOk);
  EXPECT_EQ(check.out.rfind("note: the free-space file could not be opened; released space is not reused\nok: ", 0),
            0u)
      << check.out;
}

// What a full disk leaves with a writer that publishes EndUnit before it
// grows the file: check notes it and finds nothing lost.
TEST_F(DbToolTest, CheckNotesAnEndUnitPastTheEndOfTheFile) {
  ASSERT_EQ(Run({"put", "616263", "01"}).code, kExitOk);
  const auto size = fs::file_size(kuPath);
  {
    std::fstream file(kuPath, std::ios::in | std::ios::out | std::ios::binary);
    char end[6] = {};
    const std::uint64_t units = size / 8 + 100;  // 800 bytes past the end
    for (int i = 0; i < 6; ++i) end[i] = static_cast<char>(units >> (8 * i));
    file.seekp(12);
    file.write(end, sizeof end);
    ASSERT_TRUE(file.good());
  }
  const RunResult r = Run({"check"});
  EXPECT_EQ(r.code, kExitOk) << r.out << r.err;
  EXPECT_EQ(r.out.rfind("note: the file ends 800 bytes before EndUnit", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("\nok: 1 keys"), std::string::npos) << r.out;
  EXPECT_EQ(fs::file_size(kuPath), size) << "checking reads only";
}

class CurrentDirectory {
 public:
  explicit CurrentDirectory(const fs::path& path) : saved_(fs::current_path()) { fs::current_path(path); }
  ~CurrentDirectory() { fs::current_path(saved_); }
  CurrentDirectory(const CurrentDirectory&) = delete;
  CurrentDirectory& operator=(const CurrentDirectory&) = delete;

 private:
  fs::path saved_;
};

TEST_F(DbToolTest, WithoutDbTheLiveDatabaseInTheCurrentDirectoryIsUsed) {
  CurrentDirectory cwd(dir.path());
  const RunResult missing = RunRaw({"get", "61"});
  EXPECT_EQ(missing.code, kExitError);
  EXPECT_NE(missing.err.find("no database at "), std::string::npos);
  EXPECT_NE(missing.err.find("vellumo-00000001.ku"), std::string::npos);

  const RunResult created = RunRaw({"put", "61", "01"});
  EXPECT_EQ(created.code, kExitOk);
  EXPECT_NE(created.err.find("created a new database at "), std::string::npos);
  EXPECT_TRUE(fs::exists(dir / "vellumo-00000001.ku"));
  EXPECT_TRUE(fs::exists(dir / "vellumo-00000001.hs"));
  const RunResult got = RunRaw({"get", "61"});
  EXPECT_EQ(got.code, kExitOk);
  EXPECT_EQ(got.out, "01\n");
  EXPECT_EQ(got.err, "");
}

}  // namespace
}  // namespace vellumo::dbtool

namespace vellumo {
namespace {

// A fault in the store that the tool works around: Ku::Scan copies the start
// key with memcpy even when it is empty, and an empty span's data() is null,
// which is undefined behaviour (the sanitized build stops the process here).
TEST(KuScanFault, DISABLED_EmptyStartKeyWithNullData) {
  vellumo::testing::TempDir dir;
  Ku ku;
  ASSERT_EQ(ku.OpenFiles(dir / "s-00000001.ku", dir / "s-00000001.hs"), OpenResult::Created);
  const std::uint8_t key[] = {0x61};
  const std::uint8_t value[] = {0x01};
  ASSERT_EQ(ku.Put(key, value, 1), 0);
  int seen = 0;
  auto count = [](const std::uint8_t*, std::uint32_t, const std::uint8_t*, void* context, Ku&) {
    ++*static_cast<int*>(context);
    return 1;
  };
  EXPECT_EQ(ku.Scan(std::span<const std::uint8_t>(), 1, 16384, count, &seen), 1);
  EXPECT_EQ(seen, 1);
}

}  // namespace
}  // namespace vellumo
