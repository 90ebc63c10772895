#include "actions/capture_title.h"

#include <gtest/gtest.h>

#include <string>

namespace vellumo::actions {
namespace {

TEST(MakeCapturedItem, TitleSortsLaterCapturesFirstAndShowsTheTextStart) {
  const std::u16string forty = u"0123456789abcdefghijklmnopqrstuvwxyzABCD";
  const CapturedItem item = MakeCapturedItem(12, forty, false);
  EXPECT_EQ(item.title, u"!999987|" + forty.substr(0, 30));
  EXPECT_EQ(item.content, u"<v>" + forty);
  EXPECT_FALSE(item.cut);
}

TEST(MakeCapturedItem, NumberPrefix) {
  struct Case {
    std::uint32_t counter;
    std::u16string prefix;
  };
  const Case cases[] = {
      {0, u"!999999|"},
      {1, u"!999998|"},
      {999999, u"!0|"},
      {1000000, u"!-1|"},
      {0xFFFFFFFFu, u"!-4293967296|"},  // no wrap back to a positive number
  };
  for (const Case& c : cases) EXPECT_EQ(MakeCapturedItem(c.counter, u"", false).title, c.prefix) << c.counter;
}

TEST(MakeCapturedItem, EmptyShortAndOverlongTexts) {
  const CapturedItem empty = MakeCapturedItem(3, u"", false);
  EXPECT_EQ(empty.title, u"!999996|");
  EXPECT_EQ(empty.content, u"<v>");
  EXPECT_FALSE(empty.cut);

  const std::u16string limit(kMaxCaptureChars, u'x');
  const CapturedItem atLimit = MakeCapturedItem(3, limit, false);
  EXPECT_EQ(atLimit.content.size(), 30720u);
  EXPECT_FALSE(atLimit.cut);

  const CapturedItem over = MakeCapturedItem(3, limit + u"y", false);
  EXPECT_EQ(over.content, u"<v>" + limit);
  EXPECT_TRUE(over.cut);

  // The reader already cut what it could not hold.
  EXPECT_TRUE(MakeCapturedItem(3, u"abc", true).cut);
}

TEST(CaptureOutcomeMessage, FailureBeforeCutBeforeSilence) {
  const auto failed = CaptureOutcomeMessage(true, true);
  ASSERT_TRUE(failed);
  EXPECT_EQ(failed->text, u"剪贴板保存失败，数据被拒绝写入。");
  EXPECT_EQ(failed->caption, u"错误");
  const auto cut = CaptureOutcomeMessage(false, true);
  ASSERT_TRUE(cut);
  EXPECT_EQ(cut->text, u"剪贴板内容过长，数据未完整保存。");
  EXPECT_EQ(cut->caption, u"提示");
  EXPECT_FALSE(CaptureOutcomeMessage(false, false));
}

}  // namespace
}  // namespace vellumo::actions
