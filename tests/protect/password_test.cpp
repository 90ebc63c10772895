#include <gtest/gtest.h>

#include "store/record_keys.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "protect/content_key.h"
#include "protect/stretch_block.h"
#include "store/ku.h"
#include "support/temp_dir.h"

namespace vellumo::protect {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr auto& kRecordKey = record_keys::kPasswordKey;

std::string Hex(std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (const std::uint8_t b : bytes) {
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 15]);
  }
  return out;
}

class PasswordTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(db_.OpenFiles(dir_ / "x.ku", dir_ / "x.hs"), OpenResult::Created);
  }

  Bytes Record() {
    Bytes value;
    (void)db_.GetValue(kRecordKey, &value);
    return value;
  }

  ContentKey Revealed(const ContentProtection& protection) {
    ContentKey key{};
    EXPECT_TRUE(protection.RevealContentKey(key));
    return key;
  }

  // Stands for a later start of the program on the same database.
  static bool StartsUnlocked(Ku& db, const PasswordKey* key = nullptr) {
    ContentProtection later(db);
    return later.UnlockContent(key) && later.IsUnlocked();
  }

  testing::TempDir dir_;
  Ku db_;
  const PasswordKey empty_ = DerivePasswordKey(u"");
  const PasswordKey secret_ = DerivePasswordKey(u"\u4FBF\u5229\u8D34");
};

TEST_F(PasswordTest, NewDatabaseGetsRecordUnderEmptyPasswordAndStartsUnlocked) {
  ContentProtection protection(db_);
  EXPECT_FALSE(protection.IsUnlocked());
  ASSERT_TRUE(protection.UnlockContent());
  EXPECT_TRUE(protection.IsUnlocked());

  // The record is the key and its verifier, CBC-encrypted under the key of
  // the empty password.
  const Bytes record = Record();
  ASSERT_EQ(record.size(), kPasswordRecordBytes);
  CAES aes;
  aes.MakeKey(std::span(empty_).first<16>(), std::span(empty_).last<16>());
  Bytes plain(64);
  aes.Decrypt(record, plain, CAES::Mode::CBC);
  const ContentKey key = Revealed(protection);
  EXPECT_EQ(Hex(std::span(plain).first(32)), Hex(key));
  Bytes verifier(key.begin(), key.end());
  StretchBlock(verifier);
  EXPECT_EQ(Hex(std::span(plain).last(32)), Hex(verifier));

  // A later start reads the same key instead of making another.
  ContentProtection later(db_);
  ASSERT_TRUE(later.UnlockContent());
  EXPECT_EQ(Hex(Revealed(later)), Hex(key));
  EXPECT_EQ(Record(), record);
}

TEST_F(PasswordTest, SetPasswordLocksStartAndOnlyThatPasswordUnlocks) {
  ContentProtection protection(db_);
  ASSERT_TRUE(protection.UnlockContent());
  const ContentKey key = Revealed(protection);
  ASSERT_TRUE(protection.RewrapContentKey(&empty_, &secret_));
  EXPECT_EQ(Hex(Revealed(protection)), Hex(key));

  EXPECT_FALSE(StartsUnlocked(db_));
  EXPECT_FALSE(StartsUnlocked(db_, &empty_));
  const PasswordKey nearMiss = DerivePasswordKey(u"\u4FBF\u5229");
  EXPECT_FALSE(StartsUnlocked(db_, &nearMiss));

  ContentProtection later(db_);
  ASSERT_TRUE(later.UnlockContent(&secret_));
  EXPECT_EQ(Hex(Revealed(later)), Hex(key));
  // A wrong attempt locks a program that was unlocked.
  EXPECT_FALSE(later.UnlockContent(&empty_));
  EXPECT_FALSE(later.IsUnlocked());
  ContentKey out{};
  out.fill(0xAA);
  EXPECT_FALSE(later.RevealContentKey(out));
  EXPECT_EQ(Hex(out), std::string(64, '0'));

  // Changing back to no password opens at start again.
  ASSERT_TRUE(later.UnlockContent(&secret_));
  ASSERT_TRUE(later.RewrapContentKey(&secret_, &empty_));
  EXPECT_TRUE(StartsUnlocked(db_));
}

// Known answers: the empty and "hunter2" blocks stretched by an independent
// AES implementation; a Chinese password must stretch its GBK bytes, and a
// password is cut at 511 bytes.
TEST_F(PasswordTest, PasswordKeyStretchesTheAnsiBytes) {
  EXPECT_EQ(Hex(empty_), "dac8349536d398aa43b29ab77963341b42eb745e145ea870319b8ec370a08308");
  EXPECT_EQ(Hex(DerivePasswordKey(u"hunter2")), "a0c7bcb051fbaf742057c27ab87db16b1c5cfd441f3f46076ba7e733bb0e25d4");

  Bytes block(512);
  const std::uint8_t gbk[] = {0xB1, 0xE3, 0xC0, 0xFB, 0xCC, 0xF9};  // 便利贴
  std::copy(std::begin(gbk), std::end(gbk), block.begin());
  StretchBlock(block);
  EXPECT_EQ(Hex(secret_), Hex(std::span(block).first(32)));

  const PasswordKey cut = DerivePasswordKey(std::u16string(511, u'a'));
  EXPECT_EQ(Hex(DerivePasswordKey(std::u16string(600, u'a'))), Hex(cut));
  EXPECT_NE(Hex(DerivePasswordKey(std::u16string(510, u'a'))), Hex(cut));
}

TEST_F(PasswordTest, BodiesEncryptToWholeBlocksAndBack) {
  ContentProtection protection(db_);
  ASSERT_TRUE(protection.UnlockContent());

  const std::u16string one = protection.EncryptBody(u"x");
  EXPECT_EQ(one.size(), 8u);
  EXPECT_EQ((u"<k>" + one).size(), 11u);
  EXPECT_EQ(protection.DecryptBody(one), u"x");

  // 8 code units fill one block exactly; 9 need a second.  Text after "<>"
  // is part of the body like any other.
  const std::u16string cases[] = {u"12345678", u"123456789", u"\u4FBF\u5229\u8D34 ^c<>note", std::u16string(300, u'z')};
  for (const auto& text : cases) {
    const std::u16string body = protection.EncryptBody(text);
    EXPECT_EQ(body.size(), (text.size() + 7) / 8 * 8) << text.size();
    EXPECT_EQ(protection.DecryptBody(body), text);
  }
  // The IV is fixed per key: equal bodies encrypt equally, across objects.
  const ContentKey key = Revealed(protection);
  EXPECT_EQ(EncryptBody(u"x", key), one);
}

// The key is bytes 0-15 and the IV bytes 16-31: with a zero block as plain
// text the first cipher block is AES(IV), the FIPS-197 example.
TEST(ContentKeyLayout, KeyThenIv) {
  ContentKey key{};
  for (std::uint8_t i = 0; i < 16; ++i) {
    key[i] = i;
    key[16 + i] = static_cast<std::uint8_t>(i * 0x11);
  }
  EXPECT_EQ(Hex(EncryptContent(Bytes(16), key)), "69c4e0d86a7b0430d8cdb78070b4c55a");
}

TEST_F(PasswordTest, RecoveryAcceptsAnyKeyAndTheRightOneRestoresBodies) {
  ContentProtection protection(db_);
  ASSERT_TRUE(protection.UnlockContent());
  ASSERT_TRUE(protection.RewrapContentKey(&empty_, &secret_));
  const ContentKey original = Revealed(protection);
  const std::u16string body = protection.EncryptBody(u"secret keys");

  ContentKey wrong = original;
  wrong[0] ^= 1;
  ASSERT_TRUE(protection.RewrapContentKey(&wrong, nullptr));
  EXPECT_TRUE(protection.IsUnlocked());
  EXPECT_NE(protection.DecryptBody(body), u"secret keys");
  // Recovery leaves no password.
  EXPECT_TRUE(StartsUnlocked(db_));

  ASSERT_TRUE(protection.RewrapContentKey(&original, nullptr));
  EXPECT_EQ(protection.DecryptBody(body), u"secret keys");
  ContentProtection later(db_);
  ASSERT_TRUE(later.UnlockContent());
  EXPECT_EQ(later.DecryptBody(body), u"secret keys");
}

TEST_F(PasswordTest, ForcedResetMakesANewKey) {
  ContentProtection protection(db_);
  ASSERT_TRUE(protection.UnlockContent());
  const ContentKey original = Revealed(protection);
  const std::u16string body = protection.EncryptBody(u"old body");

  ASSERT_TRUE(protection.RewrapContentKey(nullptr, &secret_));
  EXPECT_TRUE(protection.IsUnlocked());
  EXPECT_NE(Hex(Revealed(protection)), Hex(original));
  EXPECT_NE(protection.DecryptBody(body), u"old body");
  EXPECT_FALSE(StartsUnlocked(db_));
  EXPECT_TRUE(StartsUnlocked(db_, &secret_));

  // Recovery with the old key brings the old bodies back.
  ASSERT_TRUE(protection.RewrapContentKey(&original, nullptr));
  EXPECT_EQ(protection.DecryptBody(body), u"old body");
}

TEST_F(PasswordTest, RecordOfWrongLengthIsRefusedAndKept) {
  for (const std::size_t length : {1u, 32u, 63u, 65u, 128u}) {
    const Bytes bad(length, 0x5A);
    ASSERT_EQ(db_.Put(kRecordKey, bad.data(), static_cast<std::uint32_t>(bad.size())), 0);
    ContentProtection protection(db_);
    EXPECT_FALSE(protection.UnlockContent()) << length;
    EXPECT_FALSE(protection.IsUnlocked());
    EXPECT_FALSE(protection.RewrapContentKey(&empty_, &secret_)) << length;
    EXPECT_EQ(Record(), bad) << length;
  }
}

TEST_F(PasswordTest, BadBodyLengthsGiveNothing) {
  ContentProtection protection(db_);
  ASSERT_TRUE(protection.UnlockContent());
  const ContentKey key = Revealed(protection);

  struct LengthCase {
    std::size_t bytes;
    bool accepted;
  };
  const LengthCase cases[] = {{0, false},  {2, false},      {15, false},           {17, false},
                              {16, true},  {48, true},      {kMaxContentBytes, true}, {kMaxContentBytes + 16, false}};
  for (const auto& c : cases) {
    const Bytes cipher(c.bytes, 0x33);
    EXPECT_EQ(DecryptContent(cipher, key).size(), c.accepted ? c.bytes : 0) << c.bytes;
    EXPECT_EQ(protection.DecryptContent(cipher).size(), c.accepted ? c.bytes : 0) << c.bytes;
  }
  // A body of one code unit too many for whole blocks decrypts to nothing.
  EXPECT_EQ(protection.DecryptBody(protection.EncryptBody(u"abc") + u"A"), u"");
  // What could never be decrypted is not encrypted either.
  EXPECT_TRUE(EncryptContent(Bytes(kMaxContentBytes + 1, 1), key).empty());
  EXPECT_EQ(EncryptContent(Bytes(kMaxContentBytes, 1), key).size(), kMaxContentBytes);
  EXPECT_TRUE(protection.EncryptBody(u"").empty());

  protection.LockContent();
  EXPECT_TRUE(protection.EncryptBody(u"abc").empty());
  EXPECT_TRUE(protection.DecryptContent(Bytes(16)).empty());
}

// A forced reset is what a user with a lost or damaged record turns to, so
// it must unlock whatever state the record is in, none at all included.
TEST_F(PasswordTest, ForcedResetUnlocksWhateverTheRecordState) {
  struct Case {
    const char* name;
    void (*prepare)(Ku& db, const PasswordKey& empty);
  };
  const Case cases[] = {
      {"never had a record", [](Ku&, const PasswordKey&) {}},
      {"record cleared",
       [](Ku& db, const PasswordKey&) {
         ContentProtection p(db);
         ASSERT_TRUE(p.UnlockContent());
         ASSERT_EQ(db.Put(kRecordKey, nullptr, 0), 0);
       }},
      {"record of 5 bytes",
       [](Ku& db, const PasswordKey&) {
         const std::uint8_t bad[5] = {1, 2, 3, 4, 5};
         ASSERT_EQ(db.Put(kRecordKey, bad, sizeof bad), 0);
       }},
      {"record under another password",
       [](Ku& db, const PasswordKey& empty) {
         ContentProtection p(db);
         ASSERT_TRUE(p.UnlockContent());
         const PasswordKey other = DerivePasswordKey(u"other");
         ASSERT_TRUE(p.RewrapContentKey(&empty, &other));
       }},
  };
  for (const Case& c : cases) {
    testing::TempDir dir;
    Ku db;
    ASSERT_EQ(db.OpenFiles(dir / "f.ku", dir / "f.hs"), OpenResult::Created);
    c.prepare(db, empty_);
    ContentProtection protection(db);
    ASSERT_TRUE(protection.RewrapContentKey(nullptr, &secret_)) << c.name;
    EXPECT_TRUE(protection.IsUnlocked()) << c.name;
    EXPECT_TRUE(StartsUnlocked(db, &secret_)) << c.name;
    EXPECT_FALSE(StartsUnlocked(db)) << c.name;
  }
}

// One rule for every unlock with a password: a database without a record has
// the empty password, and only that password may create the record.
TEST_F(PasswordTest, UnlockWithPasswordFollowsTheEmptyPasswordRule) {
  struct Case {
    const char* name;
    bool recordFirst;  // made under the empty password, then changed to secret_
    bool damaged;
    const PasswordKey* key;
    RecordCreation creation;
    UnlockOutcome outcome;
    bool recordAfter;
  };
  const Case cases[] = {
      {"none, empty, create", false, false, &empty_, RecordCreation::kCreate, UnlockOutcome::kUnlocked, true},
      {"none, empty, leave", false, false, &empty_, RecordCreation::kLeaveAbsent, UnlockOutcome::kNoRecord, false},
      {"none, other, create", false, false, &secret_, RecordCreation::kCreate, UnlockOutcome::kWrongPassword, false},
      {"set, right", true, false, &secret_, RecordCreation::kLeaveAbsent, UnlockOutcome::kUnlocked, true},
      {"set, empty", true, false, &empty_, RecordCreation::kCreate, UnlockOutcome::kWrongPassword, true},
      {"damaged", false, true, &empty_, RecordCreation::kCreate, UnlockOutcome::kDamagedRecord, true},
  };
  for (const Case& c : cases) {
    testing::TempDir dir;
    Ku db;
    ASSERT_EQ(db.OpenFiles(dir / "u.ku", dir / "u.hs"), OpenResult::Created);
    if (c.recordFirst) {
      ContentProtection first(db);
      ASSERT_TRUE(first.UnlockAtStart());
      ASSERT_TRUE(first.RewrapContentKey(&empty_, &secret_));
    }
    const Bytes bad(10, 0x42);
    if (c.damaged) {
      ASSERT_EQ(db.Put(kRecordKey, bad.data(), static_cast<std::uint32_t>(bad.size())), 0);
    }
    Bytes before;
    (void)db.GetValue(kRecordKey, &before);

    ContentProtection protection(db);
    EXPECT_EQ(protection.UnlockWithPassword(*c.key, c.creation), c.outcome) << c.name;
    EXPECT_EQ(protection.IsUnlocked(), c.outcome == UnlockOutcome::kUnlocked) << c.name;
    Bytes after;
    (void)db.GetValue(kRecordKey, &after);
    EXPECT_EQ(!after.empty(), c.recordAfter) << c.name;
    if (!before.empty()) {
      EXPECT_EQ(after, before) << c.name << ": an unlock never rewrites a record";
    }
  }
}

}  // namespace
}  // namespace vellumo::protect
