#include "actions/open_list.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace vellumo::actions {
namespace {

std::string Printable(std::u16string_view text) {
  std::string out;
  for (char16_t c : text) out += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
  return out;
}

TEST(ParseOpenList, ReadsNumbersLikeWcstolAndStopsAtTheFirstBreak) {
  struct Case {
    std::u16string list;
    std::vector<std::uint32_t> ids;
  };
  const Case cases[] = {
      {u"5", {5}},
      {u"3,0,4", {3}},           // 0 ends the list
      {u" 3, 4", {3, 4}},        // white space before a number is skipped
      {u"\t3,\r\n 4", {3, 4}},
      {u"3;4", {3}},             // only a comma continues
      {u"3 ,4", {3}},            // ... and only right after the number
      {u"3,", {3}},
      {u"3,,4", {3}},
      {u"abc", {}},
      {u"", {}},
      {u",3", {}},
      {u"+7,8", {7, 8}},
      {u"0", {}},
      {u"007,08", {7, 8}},
      {u"12x,4", {12}},
      {u"1,2,3,4,5,6", {1, 2, 3, 4, 5, 6}},
      {u"3<>comment,4", {3}},
      {u"4294967294", {0xFFFFFFFEu}},
      {u"3,\x3000" u"4", {3}},   // ideographic space is not white space here
      {u"\xFF13", {}},           // nor is a full-width digit a digit
  };
  for (const Case& c : cases) EXPECT_EQ(ParseOpenList(c.list), c.ids) << Printable(c.list);
}

TEST(ParseOpenList, NumbersThatNameNoNoteEndTheList) {
  struct Case {
    std::u16string list;
    std::vector<std::uint32_t> ids;
  };
  const Case cases[] = {
      {u"-1", {}},  // would be the settings pseudo-note 0xFFFFFFFF
      {u"2,-3,4", {2}},
      {u"-0,4", {}},
      {u"4294967295", {}},
      {u"4294967296", {}},  // wraps to 0 in 32 bits
      {u"4294967299,5", {}},  // wraps to 3
      {u"6,99999999999999999999999999,7", {6}},
      {u"- 5", {}},
      {u"+", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseOpenList(c.list), c.ids) << Printable(c.list);
}

}  // namespace
}  // namespace vellumo::actions
