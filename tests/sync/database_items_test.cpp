#include "sync/database_items.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "engine_fixture.h"
#include "model/item_operations.h"
#include "model/items.h"
#include "model/notes.h"
#include "store/ku.h"
#include "support/temp_dir.h"
#include "sync/frame_dispatch.h"
#include "sync/registration_rules.h"
#include "sync/sync_journal.h"

namespace vellumo::sync {
namespace {

using testing::Item;
using testing::HashOf;

struct NoMessages : model::ModelNotifier {
  void ShowMessage(std::u16string_view, std::u16string_view) override {}
};

ItemHashValue Hash(std::uint8_t seed) {
  ItemHashValue h{};
  std::ranges::fill(h, seed);
  return h;
}

class DatabaseItemsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(db_.OpenFiles(dir_ / "d.ku", dir_ / "d.hs"), OpenResult::Created); }
  void Reopen() {
    db_.Close();
    ASSERT_EQ(db_.OpenFiles(dir_ / "d.ku", dir_ / "d.hs"), OpenResult::Opened);
  }
  // Carries out the journal and item actions of a decision, as the engine does.
  std::vector<Frame> Apply(const ActionList& actions) {
    std::vector<Frame> sent;
    for (const auto& action : actions) {
      if (const auto* s = std::get_if<SendFrameAction>(&action)) sent.push_back(s->frame);
      if (const auto* j = std::get_if<JournalAdd>(&action)) {
        EXPECT_TRUE(items_.JournalAdd(j->noteId, j->hash));
      }
      if (const auto* e = std::get_if<JournalErase>(&action)) items_.JournalErase(e->noteId, e->hash);
    }
    return sent;
  }

  ::vellumo::testing::TempDir dir_;
  Ku db_;
  DatabaseItems items_{db_};
  NoMessages messages_;
  model::ItemSyncHooks noHooks_;
  model::AppMutex appMutex_;
  model::ItemOperations ops_{db_, messages_, noHooks_, appMutex_};
};

// Each note's journal is its own, holds a hash once, and leaves the note's
// other fields alone; notes whose ids share low bytes do not mix.
TEST_F(DatabaseItemsTest, JournalsAreKeptPerNoteAndOnce) {
  const std::uint32_t a = model::CreateNote(db_);
  const std::uint32_t b = a + 0x100;  // same first byte of the id
  ASSERT_TRUE(items_.JournalAdd(a, Hash(3)));
  ASSERT_TRUE(items_.JournalAdd(a, Hash(1)));
  ASSERT_TRUE(items_.JournalAdd(a, Hash(3)));
  ASSERT_TRUE(items_.JournalAdd(b, Hash(2)));
  ASSERT_EQ(model::PutNoteText(db_, a, model::note_field::kSyncId, u"id"), 0);

  EXPECT_EQ(items_.Journal(a), (std::vector<ItemHashValue>{Hash(1), Hash(3)}));
  EXPECT_EQ(items_.Journal(b), std::vector<ItemHashValue>{Hash(2)});
  items_.JournalErase(a, Hash(3));
  items_.JournalErase(a, Hash(9));  // absent: nothing happens
  EXPECT_EQ(items_.Journal(a), std::vector<ItemHashValue>{Hash(1)});
  EXPECT_EQ(model::GetNoteText(db_, a, model::note_field::kSyncId), u"id");
}

TEST_F(DatabaseItemsTest, ItemsAreListedInListOrderAsStored) {
  const std::uint32_t note = model::CreateNote(db_);
  const std::uint32_t b = ops_.CreateItem(note, u"b", u"二", false);
  const std::uint32_t a = ops_.CreateItem(note, u"a", u"<k>\x1234", false);
  const auto listed = items_.Items(note);
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].itemId, a);
  EXPECT_EQ(listed[1].itemId, b);
  EXPECT_EQ(HashOf(listed[0].stored), HashOf(Item(u"a", u"<k>\x1234")));
  EXPECT_EQ(items_.Item(note, b)->content, testing::U16(u"二"));
  EXPECT_FALSE(items_.Item(note, b + 10).has_value());
  EXPECT_TRUE(items_.Items(note + 1).empty());
}

// A deletion made while the note is not live is written to the database,
// survives a restart, and goes out as DeleteHash at the next listing, after
// which the journal is empty; content another item still holds is kept.
TEST_F(DatabaseItemsTest, AnOfflineDeletionOutlivesARestartAndIsReportedAtTheNextListing) {
  const std::uint32_t note = model::CreateNote(db_);
  const std::uint32_t keep = ops_.CreateItem(note, u"keep", u"1", false);
  const std::uint32_t gone = ops_.CreateItem(note, u"gone", u"2", false);
  const std::uint32_t twin = ops_.CreateItem(note, u"twin", u"3", false);
  (void)ops_.CreateItem(note, u"twin", u"3", false);
  SyncList list;
  ASSERT_EQ(RegisterNote(list, {note, testing::U16(u"id"), testing::U16(u"pass-word")}).outcome,
            Registration::kRegistered);

  ASSERT_EQ(ops_.DeleteItem(note, gone, false), 0);
  EXPECT_TRUE(Apply(PlanItemDeleted(list, items_, note, Item(u"gone", u"2").Fields())).empty());
  ASSERT_EQ(ops_.DeleteItem(note, twin, false), 0);
  EXPECT_TRUE(Apply(PlanItemDeleted(list, items_, note, Item(u"twin", u"3").Fields())).empty());
  Reopen();
  EXPECT_EQ(items_.Journal(note).size(), 2u);

  list.SetStatus(note, kEntryLive);
  Frame request;
  ASSERT_EQ(BuildFrame(ServerMessage{ListRequest{note}}, request), FrameError::kOk);
  const auto sent = Apply(DispatchServerFrame(request, list, items_));
  std::vector<ItemHashValue> deleted;
  std::size_t listed = 0;
  for (const auto& f : sent) {
    ClientMessage m;
    ASSERT_EQ(ParseClientFrame(f, m), FrameError::kOk);
    if (const auto* d = std::get_if<DeleteHash>(&m)) deleted.push_back(d->hash);
    if (std::holds_alternative<ListItem>(m)) ++listed;
  }
  EXPECT_EQ(listed, 2u);  // keep and the remaining twin
  EXPECT_EQ(deleted, std::vector<ItemHashValue>{HashOf(Item(u"gone", u"2"))});
  EXPECT_TRUE(items_.Journal(note).empty());
  EXPECT_TRUE(items_.Item(note, keep).has_value());
}

}  // namespace
}  // namespace vellumo::sync
