// The storage contract every back end keeps (SQLite here, PostgreSQL when
// the PostgreSQL script provides one).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "sqlite_store.h"
#include "test_store.h"
#include "verifier_hash.h"
#include "wire.h"

namespace vellumo::syncd::testing {
namespace {

class StoreContract : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(InitCrypto()); }
  TestStore t_;
  Store& s_ = t_.store();
};

TEST_F(StoreContract, AccountsKeepOnlyASlowHashOfTheVerifier) {
  const auto id = Id("account");
  EXPECT_FALSE(s_.FindAccount(id));
  const auto hash = HashVerifier(V(1), PwhashLimits::Fastest());
  ASSERT_TRUE(hash);
  EXPECT_TRUE(hash->starts_with("$argon2id$"));
  const auto created = s_.CreateAccount(id, *hash);
  ASSERT_TRUE(created);
  // A second creation loses the race and changes nothing.
  EXPECT_FALSE(s_.CreateAccount(id, *HashVerifier(V(2), PwhashLimits::Fastest())));
  const auto found = s_.FindAccount(id);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->id, *created);
  EXPECT_TRUE(VerifierMatches(found->verifierHash, V(1)));
  EXPECT_FALSE(VerifierMatches(found->verifierHash, V(2)));
  // Salted: the same verifier never hashes the same way twice.
  EXPECT_NE(*hash, *HashVerifier(V(1), PwhashLimits::Fastest()));
  const auto v = V(1);
  EXPECT_EQ(found->verifierHash.find(std::string(v.begin(), v.end())), std::string::npos);
  EXPECT_FALSE(s_.FindAccount(Id("other")));
}

TEST_F(StoreContract, ItemsAndTombstones) {
  const AccountId a = *s_.CreateAccount(Id("a"), "x");
  const AccountId b = *s_.CreateAccount(Id("b"), "x");
  EXPECT_TRUE(s_.PutItem(a, H(1), S(1)));
  EXPECT_FALSE(s_.PutItem(a, H(1), S(1)));
  EXPECT_TRUE(s_.PutItem(a, H(2), S(2, 102400)));
  EXPECT_TRUE(s_.PutItem(b, H(1), S(9)));  // accounts are separate
  EXPECT_TRUE(s_.HasItem(a, H(1)));
  EXPECT_FALSE(s_.HasItem(a, H(3)));
  EXPECT_EQ(s_.GetItem(a, H(2)), S(2, 102400));
  EXPECT_EQ(s_.GetItem(b, H(1)), S(9));
  EXPECT_FALSE(s_.GetItem(a, H(3)));
  auto hashes = s_.ItemHashes(a);
  std::sort(hashes.begin(), hashes.end());
  EXPECT_EQ(hashes, (std::vector<ItemHashValue>{H(1), H(2)}));

  // Deleting tombstones, whether or not the item was there.
  EXPECT_TRUE(s_.DeleteItem(a, H(1)));
  EXPECT_FALSE(s_.DeleteItem(a, H(7)));
  EXPECT_FALSE(s_.HasItem(a, H(1)));
  auto tombstones = s_.Tombstones(a);
  std::sort(tombstones.begin(), tombstones.end());
  EXPECT_EQ(tombstones, (std::vector<ItemHashValue>{H(1), H(7)}));
  EXPECT_TRUE(s_.Tombstones(b).empty());
  EXPECT_TRUE(s_.HasItem(b, H(1)));

  // An upload lifts the tombstone; so does an explicit clear.
  EXPECT_TRUE(s_.PutItem(a, H(1), S(1)));
  EXPECT_TRUE(s_.ClearTombstone(a, H(7)));
  EXPECT_FALSE(s_.ClearTombstone(a, H(7)));
  EXPECT_TRUE(s_.Tombstones(a).empty());

  const auto accounts = s_.Accounts();
  ASSERT_EQ(accounts.size(), 2u);
  EXPECT_EQ(accounts[0].items, 2u);
  EXPECT_EQ(accounts[0].sealedBytes, S(1).size() + 102400);
  EXPECT_EQ(accounts[1].items, 1u);
}

TEST(SqliteStore, ReopenedFileHasEverything) {
  vellumo::testing::TempDir dir;
  AccountId a = 0;
  {
    SqliteStore s(dir.path());
    a = *s.CreateAccount(Id("kept"), "h");
    s.PutItem(a, H(1), S(1));
    s.DeleteItem(a, H(2));
  }
  SqliteStore s(dir.path());
  EXPECT_EQ(s.FindAccount(Id("kept"))->id, a);
  EXPECT_EQ(s.GetItem(a, H(1)), S(1));
  EXPECT_EQ(s.Tombstones(a), std::vector<ItemHashValue>{H(2)});
}

}  // namespace
}  // namespace vellumo::syncd::testing
