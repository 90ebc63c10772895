#include "notes/tooltip_text.h"

#include <gtest/gtest.h>

#include <string>

namespace vellumo::notes {
namespace {

std::u16string Repeat(std::u16string_view unit, std::size_t times) {
  std::u16string s;
  for (std::size_t i = 0; i < times; ++i) s += unit;
  return s;
}

// Numbered lines "L1", "L2", ... separated by CR LF.
std::u16string Lines(int count) {
  std::u16string s;
  for (int i = 1; i <= count; ++i) {
    if (i > 1) s += u"\r\n";
    const std::string n = "L" + std::to_string(i);
    s += std::u16string(n.begin(), n.end());
  }
  return s;
}

TEST(TooltipText, ComposesTitleAndContent) {
  const std::u16string longTitle = Repeat(u"t", 300);
  const std::u16string longContent = Repeat(u"c", 1500);
  struct Case {
    const char* name;
    std::u16string title;
    std::u16string content;
    std::u16string expected;
  };
  const Case cases[] = {
      {"title only", u"便利贴", u"", u"便利贴"},
      {"sort prefix removed", u"002|记事", u"", u"记事"},
      {"bar at index 9 still a prefix", u"123456789|x", u"", u"x"},
      {"bar at index 10 is part of the title", u"0123456789|x", u"", u"0123456789|x"},
      {"only the first bar counts", u"1|2|3", u"", u"2|3"},
      {"title cut to 255", longTitle, u"", Repeat(u"t", 255)},
      {"prefix removed before cutting", u"9|" + longTitle, u"", Repeat(u"t", 255)},
      {"content after CR LF", u"a", u"<run>notepad.exe", u"a\r\n<run>notepad.exe"},
      {"encrypted shows its tag only", u"pin", u"<K>secret-body", u"pin\r\n<K>"},
      {"lower-case encrypted tag too", u"pin", u"<k>x", u"pin\r\n<k>"},
      {"key sequence is not hidden", u"a", u"<a>abc", u"a\r\n<a>abc"},
      {"cut before the 11th CR", u"a", Lines(12), u"a\r\n" + Lines(11)},
      {"ten CRs stay whole", u"a", Lines(11) + u"\n", u"a\r\n" + Lines(11) + u"\n"},
      {"bare LFs are not counted", u"a", u"1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12",
       u"a\r\n1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12"},
      {"content cut after 1024", u"a", longContent, u"a\r\n" + Repeat(u"c", 1024)},
      {"empty title with content", u"", u"x", u"\r\nx"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ComposeTooltipText(c.title, c.content), c.expected) << c.name;
  }
}

TEST(TooltipText, LongestTextFitsTheBuffer) {
  const std::u16string text = ComposeTooltipText(Repeat(u"t", 256), Repeat(u"c", 1024));
  EXPECT_EQ(text.size(), 255u + 2u + 1024u);
  EXPECT_LT(text.size(), kTooltipTextUnits);
}

TEST(TooltipText, MeasuresWidestLineAndSumOfHeights) {
  // Width = 7 per character, height 16 per line, whatever the text.
  auto measure = [](std::u16string_view line) { return TextExtent{static_cast<int>(line.size()) * 7, 16}; };
  struct Case {
    std::u16string text;
    TextExtent expected;
  };
  const Case cases[] = {
      {u"abc", {21, 16}},
      {u"ab\r\nabcd\r\nx", {28, 48}},  // the CR before a line break is not measured
      {u"ab\r\n", {14, 32}},           // an empty last line still takes its height
      {u"", {0, 16}},
  };
  for (const Case& c : cases) {
    const TextExtent e = MeasureTooltipText(c.text, measure);
    EXPECT_EQ(e.width, c.expected.width) << std::string(c.text.begin(), c.text.end());
    EXPECT_EQ(e.height, c.expected.height) << std::string(c.text.begin(), c.text.end());
  }
}

TEST(TooltipPlacement, NextToThePointerAndInsideTheRightEdge) {
  struct Case {
    const char* name;
    int x, y, textWidth, textHeight, right;
    TooltipRect expected;
  };
  const Case cases[] = {
      {"below right of the pointer", 100, 200, 80, 32, 1280, {118, 218, 94, 40}},
      {"ends exactly at the edge", 1280 - 18 - 94, 10, 80, 16, 1280, {1186, 28, 94, 24}},
      {"one pixel more moves it to end at the edge", 1280 - 18 - 93, 10, 80, 16, 1280, {1186, 28, 94, 24}},
      {"near the bottom it is never moved up", 600, 1000, 80, 16, 1280, {618, 1018, 94, 24}},
      {"wide text takes the work area less 18", 0, 0, 1249, 16, 1280, {18, 18, 1262, 24}},
      {"wide text at the edge starts at 18", 900, 0, 1249, 16, 1280, {18, 18, 1262, 24}},
      {"just narrow enough keeps its width", 0, 0, 1248, 16, 1280, {18, 18, 1262, 24}},
  };
  for (const Case& c : cases) {
    const TooltipRect r = PlaceTooltip(c.x, c.y, {c.textWidth, c.textHeight}, c.right);
    EXPECT_EQ(r.left, c.expected.left) << c.name;
    EXPECT_EQ(r.top, c.expected.top) << c.name;
    EXPECT_EQ(r.width, c.expected.width) << c.name;
    EXPECT_EQ(r.height, c.expected.height) << c.name;
  }
}

}  // namespace
}  // namespace vellumo::notes
