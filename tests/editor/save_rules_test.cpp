#include "editor/save_rules.h"

#include <gtest/gtest.h>

namespace vellumo::editor {
namespace {

std::u16string Repeat(std::size_t n, char16_t c = u'长') { return std::u16string(n, c); }

TEST(SaveRules, TitlesAndContents) {
  struct Case {
    std::u16string title;
    TitleCheck check;
  };
  const Case titles[] = {{std::u16string(5000, u'长'), TitleCheck::Ok},
                         {std::u16string(5001, u'长'), TitleCheck::TooLong},
                         {u"", TitleCheck::Empty},
                         {u"x", TitleCheck::Ok}};
  for (const Case& c : titles) EXPECT_EQ(CheckTitle(c.title), c.check) << c.title.size();
  EXPECT_FALSE(NeedsCut(30720));
  EXPECT_TRUE(NeedsCut(30721));
  EXPECT_TRUE(IsSecretContent(u"<k>a"));
  EXPECT_TRUE(IsSecretContent(u"<K>a"));
  EXPECT_FALSE(IsSecretContent(u"<k>"));  // a bare tag is nothing to encrypt
  EXPECT_FALSE(IsSecretContent(u"<a>k"));
}

TEST(SaveRules, AnArrowTitleWithNoContentNamesANewNote) {
  struct Case {
    std::u16string title, content;
    std::optional<std::u16string> name;
  };
  const Case cases[] = {
      {u">Projects", u"", u"Projects"},
      {u">", u"", std::nullopt},              // nothing after the arrow
      {u">Projects", u"x", std::nullopt},     // a content of its own
      {u"Projects", u"", std::nullopt},
      {u">>两个", u"", u">两个"},
  };
  for (const Case& c : cases) EXPECT_EQ(NewNoteName(c.title, c.content), c.name);
  EXPECT_EQ(OpenNoteContent(42), u"<open>42");
  EXPECT_EQ(OpenNoteContent(0), u"<open>0");
  EXPECT_EQ(OpenNoteContent(4294967295u), u"<open>4294967295");
}

TEST(PlanSave, FirstRuleThatAppliesWins) {
  struct Case {
    const char* what;
    std::u16string title, content;
    bool unlocked;
    SaveOutcome outcome;
    std::optional<Message> message;
    std::size_t keep;
    bool encrypt;
  };
  const std::u16string secretLong = u"<k>" + Repeat(40000);
  const Case cases[] = {
      {"title of 5000", Repeat(5000), u"x", true, SaveOutcome::Store, std::nullopt, 0, false},
      {"title of 5001", Repeat(5001), u"x", true, SaveOutcome::TitleTooLong, kTitleTooLong, 0, false},
      {"title read past the limit", Repeat(kTitleReadUnits), u"", true, SaveOutcome::TitleTooLong, kTitleTooLong, 0,
       false},
      {"empty title", u"", u"x", true, SaveOutcome::TitleEmpty, kTitleEmpty, 0, false},
      // The title is checked before the password is asked for.
      {"locked, title too long", Repeat(5001), u"<k>abc", false, SaveOutcome::TitleTooLong, kTitleTooLong, 0, false},
      {"locked secret", u"t", u"<k>abc", false, SaveOutcome::NeedsPassword, std::nullopt, 0, true},
      {"locked secret over the limit", u"t", secretLong, false, SaveOutcome::NeedsPassword, std::nullopt, 0, true},
      {"locked bare tag", u"t", u"<K>", false, SaveOutcome::Store, std::nullopt, 0, false},
      {"locked plain", u"t", u"<a>abc", false, SaveOutcome::Store, std::nullopt, 0, false},
      {"unlocked secret", u"t", u"<K>abc", true, SaveOutcome::Store, std::nullopt, 0, true},
      {"plain of 30720", u"t", Repeat(30720), true, SaveOutcome::Store, std::nullopt, 0, false},
      {"plain of 30721", u"t", Repeat(30721), true, SaveOutcome::AskCut, kCutContentQuestion, 30720, false},
      {"secret of 30715", u"t", u"<k>" + Repeat(30712), true, SaveOutcome::Store, std::nullopt, 0, true},
      // Stored as 3 + 30720 units: over the limit though the text is not.
      {"secret of 30716", u"t", u"<k>" + Repeat(30713), true, SaveOutcome::AskCut, kCutContentQuestion, 30715, true},
      {"long secret", u"t", secretLong, true, SaveOutcome::AskCut, kCutContentQuestion, 30715, true},
      {"arrow title", u">Projects", u"", true, SaveOutcome::MakeNote, std::nullopt, 0, false},
      {"arrow title locked", u">Projects", u"", false, SaveOutcome::MakeNote, std::nullopt, 0, false},
      {"arrow alone", u">", u"", true, SaveOutcome::Store, std::nullopt, 0, false},
  };
  for (const Case& c : cases) {
    const SavePlan plan = PlanSave(c.title, c.content, c.unlocked);
    EXPECT_EQ(plan.outcome, c.outcome) << c.what;
    EXPECT_EQ(plan.message, c.message) << c.what;
    if (c.outcome == SaveOutcome::AskCut) {
      EXPECT_EQ(plan.keepUnits, c.keep) << c.what;
    }
    if (c.outcome == SaveOutcome::NeedsPassword || c.outcome == SaveOutcome::Store ||
        c.outcome == SaveOutcome::AskCut) {
      EXPECT_EQ(plan.encrypt, c.encrypt) << c.what;
    }
  }
  EXPECT_EQ(PlanSave(u">Projects", u"", true).noteName, u"Projects");
}

TEST(PlanSave, ACutContentSavesWithoutAnotherQuestion) {
  // Whatever the length, what is kept after OK fits, and stays what it was:
  // a secret stays secret, its body whole blocks that decrypt again.
  for (const std::u16string prefix : {u"", u"<k>", u"<K>", u"<a>"}) {
    for (const std::size_t length : {30716u, 30721u, 30800u, 131072u}) {
      const std::u16string content = prefix + Repeat(length - prefix.size());
      const SavePlan plan = PlanSave(u"t", content, true);
      if (plan.outcome != SaveOutcome::AskCut) continue;
      const std::u16string kept = content.substr(0, plan.keepUnits);
      EXPECT_LE(StoredUnits(kept), kContentLimit) << length;
      EXPECT_EQ(IsSecretContent(kept), IsSecretContent(content));
      EXPECT_GT(StoredUnits(content.substr(0, plan.keepUnits + 1)), kContentLimit) << "kept the most that fits";
      EXPECT_EQ(PlanSave(u"t", kept, true).outcome, SaveOutcome::Store);
    }
  }
}

TEST(PlanSave, NoCutLeavesHalfASurrogatePair) {
  // U+1F600 as a pair whose high half would be the last unit kept.
  std::u16string plain = Repeat(30719) + u"\U0001F600" + u"x";
  EXPECT_EQ(PlanSave(u"t", plain, true).keepUnits, 30719u);
  std::u16string secret = u"<k>" + Repeat(30711) + u"\U0001F600";
  EXPECT_EQ(PlanSave(u"t", secret, true).keepUnits, 30714u);
}

TEST(PlanSave, FailedStoresTellWhichWay) {
  EXPECT_EQ(SaveFailedMessage(true), (Message{u"保存失败，数据被拒绝写入。", u"错误"}));
  EXPECT_EQ(SaveFailedMessage(false), (Message{u"保存失败，项目可能已被删除。", u"错误"}));
}

}  // namespace
}  // namespace vellumo::editor
