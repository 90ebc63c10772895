#include "editor/save_rules.h"

#include <gtest/gtest.h>

namespace vellumo::editor {
namespace {

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
}

}  // namespace
}  // namespace vellumo::editor
