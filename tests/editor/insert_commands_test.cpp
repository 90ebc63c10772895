#include "editor/insert_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

namespace vellumo::editor {
namespace {

TEST(InsertCommands, TagsAtTheStartTokensAtTheCaret) {
  struct Case {
    int id;
    std::u16string text;
    InsertAt where;
  };
  const Case cases[] = {
      {32815, u"<v>", InsertAt::Start},  {32825, u"<open>", InsertAt::Start}, {32826, u"<OPEN>", InsertAt::Start},
      {32817, u"<K>", InsertAt::Start},  {32844, u"<cd>", InsertAt::Caret},   {32841, u"<5h>", InsertAt::Caret},
      {32853, u"<fa>", InsertAt::Caret}, {32851, u"<2E>", InsertAt::Caret},   {32821, u"<>", InsertAt::Caret},
  };
  for (const Case& c : cases) {
    const auto insertion = InsertionFor(c.id, nullptr);
    ASSERT_TRUE(insertion.has_value()) << c.id;
    EXPECT_EQ(insertion->text, c.text) << c.id;
    EXPECT_EQ(insertion->where, c.where) << c.id;
  }
  EXPECT_FALSE(InsertionFor(32788, nullptr).has_value());
  EXPECT_EQ(InsertionFor(32870, [] { return std::u16string(u"x"); })->text, u"x");
  const std::u16string reference = InsertionFor(32872, nullptr)->text;
  EXPECT_NE(reference.find(u"<0D> : Enter"), std::u16string::npos);
  EXPECT_NE(reference.find(u"<30> 至 <39> : 数字 0 至 9 (VK_0 至 VK_9)"), std::u16string::npos);
}

TEST(RandomString12, TwelveCharactersOfEveryClassWhateverTheDraws) {
  auto classes = [](const std::u16string& s) {
    auto has = [&](auto predicate) { return std::any_of(s.begin(), s.end(), predicate); };
    return has([](char16_t c) { return c >= u'a' && c <= u'z'; }) && has([](char16_t c) { return c >= u'A' && c <= u'Z'; }) &&
           has([](char16_t c) { return c >= u'0' && c <= u'9'; }) &&
           has([](char16_t c) { return std::u16string_view(u"!@#$%^&*()-_=+[]{};:,.<>?").find(c) != std::u16string_view::npos; });
  };
  // Degenerate generators (always 0, always the largest value) and a seeded
  // one over many draws.
  for (const std::uint32_t fixed : {0u, 0xFFFFFFFFu}) {
    const std::u16string s = RandomString12([fixed] { return fixed; });
    EXPECT_EQ(s.size(), 12u);
    EXPECT_TRUE(classes(s));
  }
  std::mt19937 engine(12345);
  for (int i = 0; i < 2000; ++i) {
    const std::u16string s = RandomString12([&engine] { return static_cast<std::uint32_t>(engine()); });
    ASSERT_EQ(s.size(), 12u);
    ASSERT_TRUE(classes(s)) << i;
  }
  const std::u16string a = RandomString12(), b = RandomString12();
  EXPECT_EQ(a.size(), 12u);
  EXPECT_NE(a, b);  // from the system's generator
}

}  // namespace
}  // namespace vellumo::editor
