#include "manager/item_rows.h"

#include <gtest/gtest.h>

#include "model/item_operations.h"
#include "model/notes.h"
#include "support/temp_dir.h"

namespace vellumo::manager {
namespace {

class Rows : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(db.OpenFiles(dir / "r.ku", dir / "r.hs"), OpenResult::Created);
    note = model::CreateNote(db, u"便利贴");
    mail = items.CreateItem(note, u"Mail", u"<run>mail.exe", false);
    greet = items.CreateItem(note, u"Greeting", u"<a>Hello there", false);
    secret = items.CreateItem(note, u"Secret", u"<k>CIPHERhello", false);
    (void)items.CreateItem(note, std::u16string(100, u't'), std::u16string(2000, u'c'), false);
  }
  std::vector<std::uint32_t> Shown(FilterMode mode, std::u16string_view windowText, std::u16string_view page) {
    std::vector<std::uint32_t> ids;
    for (const ItemRow& row : ListItemRows(db, note, {mode, FilterText(windowText)}, FoldCase(page)).rows)
      ids.push_back(row.item);
    return ids;
  }
  testing::TempDir dir;
  Ku db;
  struct : model::ModelNotifier {
    void ShowMessage(std::u16string_view, std::u16string_view) override {}
  } notifier;
  model::ItemSyncHooks sync;
  model::AppMutex mutex;
  model::ItemOperations items{db, notifier, sync, mutex};
  std::uint32_t note = 0, mail = 0, greet = 0, secret = 0;
};

TEST_F(Rows, WindowAndPageFiltersNarrowTheList) {
  using Ids = std::vector<std::uint32_t>;
  EXPECT_EQ(Shown(FilterMode::None, u"", u"").size(), 4u);
  EXPECT_EQ(Shown(FilterMode::None, u"", u"HELLO"), (Ids{greet}));      // never the encrypted text
  EXPECT_EQ(Shown(FilterMode::Contents, u"hello", u""), (Ids{greet}));
  EXPECT_EQ(Shown(FilterMode::Titles, u"mail", u""), (Ids{mail}));
  EXPECT_EQ(Shown(FilterMode::Titles, u"e", u"run"), (Ids{}));          // both must hold
  EXPECT_EQ(Shown(FilterMode::None, u"ignored", u"<k>"), (Ids{secret}));  // the tag is shown and found
}

TEST_F(Rows, WhatARowShows) {
  const ItemRows all = ListItemRows(db, note, {}, u"");
  EXPECT_EQ(all.total, 4u);
  for (const ItemRow& row : all.rows) {
    if (row.item == secret) {
      EXPECT_EQ(row.content, u"<k>");
    }
    EXPECT_LE(row.title.size(), 64u);
    EXPECT_LE(row.content.size(), 1000u);
  }
  EXPECT_EQ(RowCountText(3, 17), u"3 / 17");
}

}  // namespace
}  // namespace vellumo::manager
