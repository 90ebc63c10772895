#include "editor/item_search.h"

#include <gtest/gtest.h>

#include <map>

namespace vellumo::editor {
namespace {

TEST(FindInText, FromTheSelectionEndWrappingOnce) {
  struct Case {
    std::u16string text, needle;
    std::size_t from;
    std::optional<std::size_t> at;
  };
  const Case cases[] = {
      {u"abc xx ABC", u"abc", 0, 0},
      {u"abc xx ABC", u"abc", 3, 7},       // after the first match: the next one
      {u"abc xx ABC", u"abc", 10, 0},      // at the end: from the start
      {u"abc xx ABC", u"abc", 8, 0},       // past the last match: wraps
      {u"中文 ÄÖ", u"äö", 0, 3},           // letters beyond ASCII ignore case too
      {u"abc", u"zz", 0, std::nullopt},
      {u"abc", u"", 0, std::nullopt},
  };
  for (const Case& c : cases) {
    const auto match = FindInText(c.text, c.needle, c.from);
    ASSERT_EQ(match.has_value(), c.at.has_value()) << c.from;
    if (match) {
      EXPECT_EQ(match->start, *c.at);
      EXPECT_EQ(match->end, *c.at + c.needle.size());
    }
  }
}

TEST(FindNextItem, AfterTheCurrentItemThenFromTheStart) {
  const std::map<std::uint32_t, std::u16string> items = {
      {2, u"Alpha"}, {5, u"beta"}, {7, u"<k>beta in cipher"}, {9, u"ALPHA again"}};
  auto next = [&](std::uint32_t id) -> std::uint32_t {
    const auto it = items.upper_bound(id);
    return it == items.end() ? 0 : it->first;
  };
  auto text = [&](std::uint32_t id) { return items.at(id); };
  struct Case {
    std::uint32_t current;
    std::u16string needle;
    bool contents;
    ItemSearchResult result;
    std::uint32_t item;
  };
  const Case cases[] = {
      {2, u"alpha", false, ItemSearchResult::Found, 9},
      {9, u"alpha", false, ItemSearchResult::Found, 2},        // wraps to the lowest id
      {5, u"beta", true, ItemSearchResult::OnlyCurrent, 5},    // never inside the encrypted item
      {5, u"gamma", true, ItemSearchResult::NotFound, 0},
      {0, u"beta", false, ItemSearchResult::Found, 5},         // a new item: from the start
  };
  for (const Case& c : cases) {
    const ItemSearch found = FindNextItem(c.current, c.needle, c.contents, next, text);
    EXPECT_EQ(found.result, c.result) << c.current;
    EXPECT_EQ(found.item, c.item) << c.current;
  }
}

}  // namespace
}  // namespace vellumo::editor
