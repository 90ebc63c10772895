#include "sync/note_digest.h"

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "model/item_operations.h"
#include "model/items.h"
#include "model/notes.h"
#include "model/records.h"
#include "platform/utf16_bytes.h"
#include "store/ku.h"
#include "support/temp_dir.h"

namespace vellumo::sync {
namespace {

struct NoMessages : model::ModelNotifier {
  void ShowMessage(std::u16string_view, std::u16string_view) override {}
};

class NoteDigestTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(db_.OpenFiles(dir_ / "d.ku", dir_ / "d.hs"), OpenResult::Created); }
  testing::TempDir dir_;
  Ku db_;
  NoMessages messages_;
  model::ItemSyncHooks sync_;
  model::AppMutex appMutex_;
  model::ItemOperations ops_{db_, messages_, sync_, appMutex_};
};

// The digest is built from the records exactly as stored: the hash of an
// item is that of its block, and a note's digest that of its item hashes.
TEST_F(NoteDigestTest, ItemsAreHashedAsStoredAndSummedPerNote) {
  const std::uint32_t note = model::CreateNote(db_);
  EXPECT_EQ(NoteDigestOf(db_, note), NoteDigestValue{});
  const std::uint32_t a = ops_.CreateItem(note, u"标题", u"<k>\x1234\x5678", false);
  const std::uint32_t b = ops_.CreateItem(note, u"b", u"", false);
  const std::uint32_t c = ops_.CreateItem(note, u"标题", u"<k>\x1234\x5678", false);

  const auto title = Utf16ToBytes(u"标题"), content = Utf16ToBytes(u"<k>\x1234\x5678");
  const ItemHashValue hashA = ItemHash(ItemFields{title, content});
  EXPECT_EQ(StoredItemHash(db_, note, a), hashA);
  EXPECT_EQ(StoredItemHash(db_, note, c), hashA);
  const auto titleB = Utf16ToBytes(u"b");
  const ItemHashValue hashes[] = {hashA, ItemHash(ItemFields{titleB, {}}), hashA};
  EXPECT_EQ(NoteDigestOf(db_, note), NoteDigest(hashes));
  const std::uint32_t reordered[] = {c, b, a};
  EXPECT_EQ(NoteDigestOf(db_, note, reordered), NoteDigest(hashes));
}

// A stray odd byte is not part of the text; ids past what a note can hold
// are not counted.
TEST_F(NoteDigestTest, OddBytesAreDroppedAndTheListIsCapped) {
  const std::uint32_t note = model::CreateNote(db_);
  const std::uint32_t item = ops_.CreateItem(note, u"t", u"ab", false);
  const ItemHashValue even = StoredItemHash(db_, note, item);
  const std::uint8_t odd[] = {'a', 0, 'b', 0, 'c'};
  ASSERT_EQ(db_.Put(model::ItemFieldKey(note, model::item_field::kContent, item), odd, sizeof odd), 0);
  EXPECT_EQ(ReadStoredItem(db_, note, item).content.size(), 4u);
  EXPECT_EQ(StoredItemHash(db_, note, item), even);

  const std::vector<std::uint32_t> many(model::kMaxItemsPerNote + 1, item);
  const std::vector<ItemHashValue> capped(model::kMaxItemsPerNote, even);
  EXPECT_EQ(NoteDigestOf(db_, note, many), NoteDigest(capped));
}

}  // namespace
}  // namespace vellumo::sync
