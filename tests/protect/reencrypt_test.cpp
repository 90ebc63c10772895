#include "protect/reencrypt.h"

#include <gtest/gtest.h>

#include "model/item_operations.h"
#include "model/items.h"
#include "model/notes.h"
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

}  // namespace
}  // namespace vellumo::protect
