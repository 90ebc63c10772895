#include "manager/note_filter.h"

#include <gtest/gtest.h>

#include "model/item_operations.h"
#include "model/notes.h"
#include "support/temp_dir.h"

namespace vellumo::manager {
namespace {

TEST(FoldCase, LettersOfTheCommonScriptsAndNothingElse) {
  EXPECT_EQ(FoldCase(u"ABC xyz ÀÉÖØÞ × Ā ā Ĺ Ž Ÿ ΑΩ АЯ Ё ＡＺ 中文 123"),
            u"abc xyz àéöøþ × ā ā ĺ ž ÿ αω ая ё ａｚ 中文 123");
  EXPECT_EQ(FilterText(u"ABCDEFGHIJKLMNOPQRS"), u"abcdefghijklmno");  // 15 units
}

TEST(FilterModes, EnterCyclesAndAButtonTogglesItsMode) {
  EXPECT_EQ(NextFilterMode(FilterMode::None), FilterMode::Titles);
  EXPECT_EQ(NextFilterMode(FilterMode::Titles), FilterMode::Contents);
  EXPECT_EQ(NextFilterMode(FilterMode::Contents), FilterMode::None);
  EXPECT_EQ(ModeAfterButton(FilterMode::None, FilterMode::Contents), FilterMode::Contents);
  EXPECT_EQ(ModeAfterButton(FilterMode::Contents, FilterMode::Contents), FilterMode::None);
  EXPECT_EQ(ModeAfterButton(FilterMode::Titles, FilterMode::Contents), FilterMode::Contents);
}

class Filter : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(db.OpenFiles(dir / "f.ku", dir / "f.hs"), OpenResult::Created);
    work = model::CreateNote(db, u"Work 工作");
    tools = model::CreateNote(db, u"工具");
    hidden = model::CreateNote(db, u"!私人");
    unnamed = model::CreateNote(db, u"");
    (void)items.CreateItem(work, u"Mail", u"<run>mail.exe", false);
    (void)items.CreateItem(tools, u"Editor", u"<a>Hello World", false);
    (void)items.CreateItem(hidden, u"Diary", u"hello again", false);
  }
  std::vector<std::uint32_t> Listed(FilterMode mode, std::u16string_view text, bool unlocked = true) {
    return FilteredNotes(db, {mode, FilterText(text)}, unlocked);
  }
  testing::TempDir dir;
  Ku db;
  struct : model::ModelNotifier {
    void ShowMessage(std::u16string_view, std::u16string_view) override {}
  } notifier;
  model::ItemSyncHooks sync;
  model::AppMutex mutex;
  model::ItemOperations items{db, notifier, sync, mutex};
  std::uint32_t work = 0, tools = 0, hidden = 0, unnamed = 0;
};

TEST_F(Filter, ByNameNumberTitleAndContent) {
  using Ids = std::vector<std::uint32_t>;
  struct Case {
    const char* what;
    FilterMode mode;
    std::u16string text;
    bool unlocked;
    Ids expected;
  };
  const std::u16string tools_number(1, static_cast<char16_t>(u'0' + tools));
  const Case cases[] = {
      {"empty: every name", FilterMode::None, u"", true, {work, tools, hidden, unnamed}},
      {"locked: hidden notes are absent", FilterMode::None, u"", false, {work, tools, unnamed}},
      {"name, any case", FilterMode::None, u"WORK", true, {work}},
      {"the default name of an unnamed note", FilterMode::None, u"便利贴", true, {unnamed}},
      {"the number, exactly", FilterMode::None, tools_number, true, {tools}},
      {"a number inside a longer one is no match", FilterMode::None, tools_number + u"0", true, {}},
      {"titles", FilterMode::Titles, u"mail", true, {work}},
      {"a name match without an item match is not listed", FilterMode::Titles, u"工作", true, {}},
      {"contents, any case", FilterMode::Contents, u"HELLO", true, {tools, hidden}},
      {"contents while locked", FilterMode::Contents, u"hello", false, {tools}},
  };
  for (const Case& c : cases) EXPECT_EQ(Listed(c.mode, c.text, c.unlocked), c.expected) << c.what;
}

}  // namespace
}  // namespace vellumo::manager
