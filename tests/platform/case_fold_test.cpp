#include "platform/case_fold.h"

#include <gtest/gtest.h>

namespace vellumo::platform {
namespace {

// The inline shortcut claims nothing between Cyrillic and the full-width
// letters has a case: every unit must fold as the full table says.
TEST(FoldCase, ShortcutAgreesWithTheTableForEveryUnit) {
  for (unsigned u = 0; u <= 0xFFFF; ++u) {
    const auto unit = static_cast<char16_t>(u);
    const char16_t expected =
        u < 0x80 ? (u >= 'A' && u <= 'Z' ? static_cast<char16_t>(u + 32) : unit) : FoldCaseBeyondAscii(unit);
    ASSERT_EQ(FoldCase(unit), expected) << std::hex << u;
  }
}

TEST(FoldCase, LettersOfEachScript) {
  EXPECT_EQ(FoldCase(u"ABC xyz ÀÞ × ĀĹŸ ΑΩ АЯЀ ＡＺ 中文"), u"abc xyz àþ × āĺÿ αω аяѐ ａｚ 中文");
}

TEST(ContainsFolded, MatchesIgnoringCaseWithoutCopying) {
  struct Case {
    std::u16string_view text, needle;
    bool found;
  };
  const Case cases[] = {
      {u"Hello World", u"world", true},    {u"Hello World", u"worlds", false}, {u"ab", u"abc", false},
      {u"", u"a", false},                  {u"abc", u"", false},               {u"xxAB", u"ab", true},
      {u"ABx", u"ab", true},               {u"aab", u"ab", true},              {u"会议记录 MEETING", u"meeting", true},
      {u"ΑΒΓ", u"βγ", true},               {u"ＡＢ", u"ａｂ", true},            {u"中文", u"文字", false},
  };
  for (const Case& c : cases) EXPECT_EQ(ContainsFolded(c.text, c.needle), c.found) << c.text.size();
}

}  // namespace
}  // namespace vellumo::platform
