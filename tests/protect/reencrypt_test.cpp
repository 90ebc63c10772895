#include "protect/reencrypt.h"

#include <gtest/gtest.h>

#include "model/item_operations.h"
#include "model/items.h"
#include "model/notes.h"
#include "model/records.h"
#include "platform/utf16_bytes.h"
#include "protect/secret_content.h"
#include "store/ku.h"
#include "support/temp_dir.h"

namespace vellumo::protect {
namespace {

struct NoMessages : model::ModelNotifier {
  void ShowMessage(std::u16string_view, std::u16string_view) override {}
};

TEST(Reencrypt, EveryBodyStaysReadableUnderTheNewKeyAndOthersAreUntouched) {
  testing::TempDir dir;
  Ku db;
  ASSERT_EQ(db.OpenFiles(dir / "r.ku", dir / "r.hs"), OpenResult::Created);
  ContentProtection protection(db);
  ASSERT_TRUE(protection.UnlockContent());
  NoMessages messages;
  model::ItemSyncHooks sync;
  model::AppMutex appMutex;
  model::ItemOperations ops(db, messages, sync, appMutex);
  const std::uint32_t note = model::CreateNote(db);

  const std::u16string secrets[] = {u"x", u"密码123{ENTER}", std::u16string(500, u'长')};
  std::vector<std::uint32_t> ids;
  for (const auto& s : secrets) ids.push_back(ops.CreateItem(note, u"secret", u"<k>" + protection.EncryptBody(s), false));
  const std::uint32_t upper = ops.CreateItem(note, u"upper", u"<K>" + protection.EncryptBody(u"UP"), false);
  const std::uint32_t plain = ops.CreateItem(note, u"plain", u"<a>not encrypted", false);
  const std::uint32_t broken = ops.CreateItem(note, u"broken", u"<k>abc", false);  // not whole blocks

  ContentKey newKey{};
  for (std::size_t i = 0; i < newKey.size(); ++i) newKey[i] = static_cast<std::uint8_t>(i * 7 + 1);
  EXPECT_EQ(ReencryptNoteItems(db, protection, note, newKey), 4u);

  for (std::size_t i = 0; i < ids.size(); ++i) {
    const std::u16string content = model::GetItemContent(db, note, ids[i]);
    EXPECT_EQ(DecryptBody(std::u16string_view(content).substr(3), newKey), secrets[i]);
  }
  EXPECT_EQ(DecryptBody(std::u16string_view(model::GetItemContent(db, note, upper)).substr(3), newKey), u"UP");
  EXPECT_EQ(model::GetItemContent(db, note, plain), u"<a>not encrypted");
  EXPECT_EQ(model::GetItemContent(db, note, broken), u"<k>abc") << "an unreadable body is kept, not destroyed";

  protection.LockContent();
  EXPECT_EQ(ReencryptNoteItems(db, protection, note, newKey), 0u) << "nothing happens while locked";
}

class ReplaceKeyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(db_.OpenFiles(dir_ / "k.ku", dir_ / "k.hs"), OpenResult::Created);
    ASSERT_TRUE(protection_.UnlockAtStart());
  }
  std::uint32_t Create(std::uint32_t note, std::u16string_view plain) {
    std::u16string stored;
    EXPECT_EQ(StoredSecretContent(plain, protection_, stored), StoreContentError::kOk);
    return ops_.CreateItem(note, u"t", stored, false);
  }
  testing::TempDir dir_;
  Ku db_;
  ContentProtection protection_{db_};
  NoMessages messages_;
  model::ItemSyncHooks sync_;
  model::AppMutex appMutex_;
  model::ItemOperations ops_{db_, messages_, sync_, appMutex_};
};

// A stored content longer than the model keeps (written by something other
// than the model) would be cut by the rewrite to a body of broken blocks: it
// is left as it is.  The largest body that fits is rewritten in place.
TEST_F(ReplaceKeyTest, NeverWritesABodyTheModelWouldCut) {
  const std::uint32_t note = model::CreateNote(db_);
  const std::u16string largest = u"<k>" + std::u16string(30776, u'z');
  const std::uint32_t fits = Create(note, largest);
  const std::uint32_t over = Create(note, u"<k>short");
  // Built by hand: 3 + 30784 units, whole blocks, past the limit.
  const std::u16string overlong = u"<k>" + protection_.EncryptBody(std::u16string(30784, u'q'));
  ASSERT_EQ(overlong.size(), 3u + 30784u);
  const auto overBytes = Utf16ToBytes(overlong);
  ASSERT_EQ(db_.Put(model::ItemFieldKey(note, model::item_field::kContent, over), overBytes.data(),
                    static_cast<std::uint32_t>(overBytes.size())),
            0);

  ContentKey newKey{};
  newKey.fill(0x5C);
  EXPECT_EQ(ReencryptNoteItems(db_, protection_, note, newKey), 1u);
  EXPECT_EQ(model::GetItemContent(db_, note, over), overlong);
  const std::u16string rewritten = model::GetItemContent(db_, note, fits);
  ASSERT_EQ(rewritten.size(), 30779u);
  EXPECT_EQ(u"<k>" + DecryptBody(std::u16string_view(rewritten).substr(3), newKey), largest);
}

TEST_F(ReplaceKeyTest, EveryNoteMovesToTheNewKeyWhichIsKeptUnderTheEmptyPassword) {
  const PasswordKey secret = DerivePasswordKey(u"pw");
  const PasswordKey empty = DerivePasswordKey(u"");
  ASSERT_TRUE(protection_.RewrapContentKey(&empty, &secret));
  const std::uint32_t first = model::CreateNote(db_), second = model::CreateNote(db_, u"!hidden");
  const std::uint32_t a = Create(first, u"<k>alpha"), b = Create(second, u"<K>beta"), c = Create(second, u"<a>plain");

  ContentKey newKey{};
  for (std::size_t i = 0; i < newKey.size(); ++i) newKey[i] = static_cast<std::uint8_t>(0xA0 + i);
  const ReplaceKeyResult result = ReplaceContentKey(db_, protection_, newKey);
  EXPECT_TRUE(result.replaced);
  EXPECT_EQ(result.rewritten, 2u);
  ContentKey inSlot{};
  ASSERT_TRUE(protection_.RevealContentKey(inSlot));
  EXPECT_EQ(inSlot, newKey);

  ContentProtection later(db_);
  ASSERT_TRUE(later.UnlockAtStart()) << "the new key is stored under the empty password";
  EXPECT_EQ(PlainSecretContent(model::GetItemContent(db_, first, a), later), u"<k>alpha");
  EXPECT_EQ(PlainSecretContent(model::GetItemContent(db_, second, b), later), u"<K>beta");
  EXPECT_EQ(model::GetItemContent(db_, second, c), u"<a>plain");

  later.LockContent();
  const ReplaceKeyResult locked = ReplaceContentKey(db_, later, ContentKey{});
  EXPECT_FALSE(locked.replaced);
  EXPECT_EQ(locked.rewritten, 0u);
  EXPECT_EQ(PlainSecretContent(model::GetItemContent(db_, first, a), protection_), u"<k>alpha");
}

}  // namespace
}  // namespace vellumo::protect
