#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "db_tool.h"
#include "store/ku.h"
#include "support/temp_dir.h"

namespace vellumo::dbtool {
namespace {

namespace fs = std::filesystem;

struct Tool {
  vellumo::testing::TempDir dir;
  fs::path ku = dir / "notes-00000001.ku";
  int Run(std::vector<std::string> args, std::string* out = nullptr, std::string* err = nullptr) {
    const std::u8string path = ku.u8string();
    args.insert(args.begin(), {"--db", std::string(path.begin(), path.end())});
    std::istringstream in;
    std::ostringstream o, e;
    const int rc = RunDbTool(args, in, o, e);
    if (out) *out = o.str();
    if (err) *err = e.str();
    return rc;
  }
  int Pairs() {
    int n = 0;
    for (auto& entry : fs::directory_iterator(dir.path()))
      if (entry.path().filename().u8string().ends_with(u8".ku.bak")) ++n;
    return n;
  }
};

TEST(MaintenanceCommands, BackupWritesNumberedPairsAndKeepsTen) {
  Tool t;
  ASSERT_EQ(t.Run({"note-create", "一"}), kExitOk);
  std::string err;
  ASSERT_EQ(t.Run({"backup"}, nullptr, &err), kExitOk) << err;
  EXPECT_TRUE(fs::exists(t.dir / "notes-00000002.ku.bak")) << "the first backup is written at once";
  EXPECT_TRUE(fs::exists(t.dir / "notes-00000002.hs.bak"));
  EXPECT_NE(err.find("数据库备份完成。"), std::string::npos) << err;
  for (int i = 0; i < 11; ++i) ASSERT_EQ(t.Run({"backup"}), kExitOk);
  EXPECT_EQ(t.Pairs(), 10);
  EXPECT_FALSE(fs::exists(t.dir / "notes-00000002.ku.bak")) << "the oldest went first";
}

TEST(MaintenanceCommands, CompactKeepsEveryRecordAndLeavesNoNumberTwo) {
  Tool t;
  ASSERT_EQ(t.Run({"note-create", "一"}), kExitOk);
  for (int i = 0; i < 50; ++i) ASSERT_EQ(t.Run({"item-create", "1", "t" + std::to_string(i), "c"}), kExitOk);
  for (int i = 1; i <= 40; ++i) ASSERT_EQ(t.Run({"item-delete", "1", std::to_string(i)}), kExitOk);
  ASSERT_EQ(t.Run({"backup"}), kExitOk);
  std::string before, after, err;
  ASSERT_EQ(t.Run({"export"}, &before), kExitOk);
  ASSERT_EQ(t.Run({"compact"}, nullptr, &err), kExitOk) << err;
  EXPECT_NE(err.find("数据库整理完毕"), std::string::npos) << err;
  EXPECT_FALSE(fs::exists(t.dir / "notes-00000002.ku"));
  ASSERT_EQ(t.Run({"export"}, &after), kExitOk);
  EXPECT_EQ(after, before);
  std::string check;
  EXPECT_EQ(t.Run({"check"}, &check), kExitOk) << check;
  EXPECT_EQ(t.Pairs(), 2) << "compaction backs up first";
}

TEST(MaintenanceCommands, RefusedWhileTheProgramHoldsTheDatabase) {
  Tool t;
  ASSERT_EQ(t.Run({"note-create", "一"}), kExitOk);
  Ku held;
  ASSERT_EQ(held.OpenFiles(t.ku, fs::path(t.ku).replace_extension(".hs")), OpenResult::Opened);
  std::string err;
  EXPECT_EQ(t.Run({"compact"}, nullptr, &err), kExitError);
  EXPECT_NE(err.find("in use"), std::string::npos) << err;
  EXPECT_FALSE(fs::exists(t.dir / "notes-00000002.ku"));
}

}  // namespace
}  // namespace vellumo::dbtool
