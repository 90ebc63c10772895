// The server address record: terminated ANSI text, cut to its limit, and
// removed by an empty text.
#include "store/server_address.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/ku.h"
#include "store/record_keys.h"
#include "support/temp_dir.h"

namespace vellumo {
namespace {

class ServerAddressTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(db_.OpenFiles(dir_ / "a.ku", dir_ / "a.hs"), OpenResult::Created); }
  std::vector<std::uint8_t> Raw() {
    std::vector<std::uint8_t> value;
    (void)db_.GetValue(record_keys::kServerAddressKey, &value);
    return value;
  }
  testing::TempDir dir_;
  Ku db_;
};

TEST_F(ServerAddressTest, StoredWithTerminatorAndRemovedByEmptyText) {
  EXPECT_EQ(StoredServerAddress(db_), "");
  ASSERT_EQ(StoreServerAddress(db_, "sync.example:8002"), 0);
  const std::string raw = "sync.example:8002";
  std::vector<std::uint8_t> expected(raw.begin(), raw.end());
  expected.push_back(0);
  EXPECT_EQ(Raw(), expected);
  EXPECT_EQ(StoredServerAddress(db_), "sync.example:8002");
  ASSERT_EQ(StoreServerAddress(db_, ""), 0);
  EXPECT_TRUE(Raw().empty());
  EXPECT_EQ(StoredServerAddress(db_), "");
}

TEST_F(ServerAddressTest, LongTextsAreCutToTheLimit) {
  const std::string longText(300, 'h');
  ASSERT_EQ(StoreServerAddress(db_, longText), 0);
  EXPECT_EQ(Raw().size(), kServerAddressMaxBytes + 1);
  EXPECT_EQ(StoredServerAddress(db_), longText.substr(0, kServerAddressMaxBytes));
  // A value another writer left without terminator, and over the limit.
  const std::vector<std::uint8_t> foreign(400, 'x');
  ASSERT_EQ(db_.Put(record_keys::kServerAddressKey, foreign.data(), static_cast<std::uint32_t>(foreign.size())), 0);
  EXPECT_EQ(StoredServerAddress(db_), std::string(kServerAddressMaxBytes, 'x'));
}

}  // namespace
}  // namespace vellumo
