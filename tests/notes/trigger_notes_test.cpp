#include "notes/trigger_notes.h"

#include <gtest/gtest.h>

#include "model/notes.h"
#include "model/records.h"
#include "support/temp_dir.h"

namespace vellumo::notes {
namespace {

using namespace model::trigger;

TEST(NotesOpenedBy, FlagBitAndRequiredModifiers) {
  testing::TempDir dir;
  Ku db;
  ASSERT_EQ(db.OpenFiles(dir / "t.ku", dir / "t.hs"), OpenResult::Created);
  const std::uint32_t atStart = model::CreateNote(db, u"start");
  const std::uint32_t atStartWithCtrl = model::CreateNote(db, u"start+ctrl");
  const std::uint32_t topLeft = model::CreateNote(db, u"corner");
  const std::uint32_t none = model::CreateNote(db, u"none");
  const std::uint32_t both = model::CreateNote(db, u"both");
  ASSERT_EQ(model::PutNoteTriggers(db, atStart, kAtStart), 0);
  ASSERT_EQ(model::PutNoteTriggers(db, atStartWithCtrl, kAtStart | kNeedCtrl), 0);
  ASSERT_EQ(model::PutNoteTriggers(db, topLeft, kTopLeft | kNeedShift | kNeedAlt), 0);
  ASSERT_EQ(model::PutNoteTriggers(db, both, kAtStart | kTopLeft), 0);
  (void)none;

  using Ids = std::vector<std::uint32_t>;
  EXPECT_EQ(NotesOpenedBy(db, 16, {}), (Ids{atStart, both}));
  EXPECT_EQ(NotesOpenedBy(db, 16, {false, true, false}), (Ids{atStart, atStartWithCtrl, both}));
  EXPECT_EQ(NotesOpenedBy(db, 5, {}), (Ids{both}));
  EXPECT_EQ(NotesOpenedBy(db, 5, {true, false, false}), (Ids{both}));
  EXPECT_EQ(NotesOpenedBy(db, 5, {true, false, true}), (Ids{topLeft, both}));
  EXPECT_TRUE(NotesOpenedBy(db, 1, {true, true, true}).empty());

  // A damaged trigger record of the wrong length opens nothing.
  const std::uint8_t shortValue[] = {0x00, 0x80};
  ASSERT_EQ(db.Put(model::NoteMetaKey(model::kMetaTriggers, none), shortValue, 2), 0);
  EXPECT_EQ(NotesOpenedBy(db, 16, {}), (Ids{atStart, both}));
}

}  // namespace
}  // namespace vellumo::notes
