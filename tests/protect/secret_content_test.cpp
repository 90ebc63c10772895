#include "protect/secret_content.h"

#include <gtest/gtest.h>

#include <string>

#include "model/items.h"
#include "model/notes.h"
#include "store/ku.h"
#include "support/temp_dir.h"

namespace vellumo::protect {
namespace {

TEST(SecretContent, TagAndBodyOfEveryKindOfContent) {
  struct Case {
    std::u16string_view content;
    bool tagged;
    bool secret;
    std::u16string_view tag;
    std::u16string_view body;
  };
  const Case cases[] = {
      {u"<k>type", true, true, u"<k>", u"type"},
      {u"<K>T", true, true, u"<K>", u"T"},
      {u"<k><>comment", true, true, u"<k>", u"<>comment"},
      {u"<k>", true, false, u"", u""},  // a bare tag has no body to encrypt
      {u"<K>", true, false, u"", u""},
      {u"", false, false, u"", u""},
      {u"<k", false, false, u"", u""},
      {u"<a>keys", false, false, u"", u""},
      {u"<kk>x", false, false, u"", u""},
      {u" <k>x", false, false, u"", u""},
      {u"text <k>x", false, false, u"", u""},
  };
  for (const Case& c : cases) {
    const std::string name(c.content.begin(), c.content.end());
    EXPECT_EQ(HasSecretTag(c.content), c.tagged) << name;
    EXPECT_EQ(IsSecretContent(c.content), c.secret) << name;
    EXPECT_EQ(SecretTag(c.content), c.tag) << name;
    EXPECT_EQ(SecretBody(c.content), c.body) << name;
  }
}

class StoredContentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(db_.OpenFiles(dir_ / "s.ku", dir_ / "s.hs"), OpenResult::Created);
    ASSERT_TRUE(protection_.UnlockAtStart());
  }
  testing::TempDir dir_;
  Ku db_;
  ContentProtection protection_{db_};
};

// The limit is on the stored form.  A body of 30776 units is the largest
// whose encryption fits (3847 blocks, 30776 units, 30779 with the tag); one
// unit more needs another block and 30787 units, which the model would cut.
TEST_F(StoredContentTest, RefusedWhenTheEncryptedFormExceedsTheLimit) {
  ASSERT_EQ(model::kMaxStoredContentChars, 30784u);
  struct Case {
    std::u16string content;
    std::size_t storedUnits;
    StoreContentError result;
  };
  const Case cases[] = {
      {u"<k>" + std::u16string(30776, u'密'), 30779, StoreContentError::kOk},
      {u"<K>" + std::u16string(30768, u'a'), 30771, StoreContentError::kOk},
      {u"<k>" + std::u16string(30777, u'a'), 30787, StoreContentError::kTooLong},
      {u"<k>" + std::u16string(30781, u'a'), 30787, StoreContentError::kTooLong},
      // Not secret: stored as it is, so the plain length is what counts.
      {std::u16string(30784, u'a'), 30784, StoreContentError::kOk},
      {u"<a>" + std::u16string(30782, u'a'), 30785, StoreContentError::kTooLong},
      {u"<k>", 3, StoreContentError::kOk},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(StoredContentUnits(c.content), c.storedUnits) << c.content.size();
    std::u16string stored = u"left over";
    ASSERT_EQ(StoredSecretContent(c.content, protection_, stored), c.result) << c.content.size();
    if (c.result != StoreContentError::kOk) {
      EXPECT_TRUE(stored.empty());
      continue;
    }
    EXPECT_EQ(stored.size(), c.storedUnits);
    EXPECT_EQ(PlainSecretContent(stored, protection_), c.content);
  }
}

// What is accepted comes back whole through the model's store, which cuts
// anything longer than the limit.
TEST_F(StoredContentTest, LargestAcceptedBodySurvivesTheModelStore) {
  const std::uint32_t note = model::CreateNote(db_);
  const std::u16string plain = u"<k>" + std::u16string(30775, u'x') + u"!";
  std::u16string stored;
  ASSERT_EQ(StoredSecretContent(plain, protection_, stored), StoreContentError::kOk);
  ASSERT_EQ(model::PutItemContent(db_, note, 1, stored), 0);
  const std::u16string readBack = model::GetItemContent(db_, note, 1);
  EXPECT_EQ(readBack, stored);
  EXPECT_EQ(PlainSecretContent(readBack, protection_), plain);
}

TEST_F(StoredContentTest, SlotAndPlainKeyGiveTheSameStoredForm) {
  ContentKey key{};
  ASSERT_TRUE(protection_.RevealContentKey(key));
  std::u16string fromSlot, fromKey;
  ASSERT_EQ(StoredSecretContent(u"<K>{CTRL}v", protection_, fromSlot), StoreContentError::kOk);
  ASSERT_EQ(StoredSecretContent(u"<K>{CTRL}v", key, fromKey), StoreContentError::kOk);
  EXPECT_EQ(fromSlot, fromKey);
  EXPECT_EQ(fromSlot.substr(0, 3), u"<K>");
  EXPECT_EQ(fromSlot.size(), 3u + 8u);
}

TEST_F(StoredContentTest, LockedSecretContentIsNeitherEncryptedNorShown) {
  std::u16string stored;
  ASSERT_EQ(StoredSecretContent(u"<k>secret", protection_, stored), StoreContentError::kOk);
  protection_.LockContent();
  std::u16string again = u"x";
  EXPECT_EQ(StoredSecretContent(u"<k>secret", protection_, again), StoreContentError::kLocked);
  EXPECT_TRUE(again.empty());
  EXPECT_EQ(PlainSecretContent(stored, protection_), u"<k>");
  // Other contents need no key either way.
  EXPECT_EQ(StoredSecretContent(u"<a>keys", protection_, again), StoreContentError::kOk);
  EXPECT_EQ(again, u"<a>keys");
  EXPECT_EQ(PlainSecretContent(u"<a>keys", protection_), u"<a>keys");
}

}  // namespace
}  // namespace vellumo::protect
