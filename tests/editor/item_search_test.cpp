#include "editor/item_search.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

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
      {u"abc xx ABC", u"abc", 99, 0},      // past the end (a stale selection): from the start
      {u"abc xx ABC", u"abc", 8, 0},       // past the last match: wraps
      {u"xxabc", u"abc", 3, 2},            // a match across the start point is found on the wrap
      {u"abc", u"abc", 3, 0},              // the only match, already selected: selected again
      {u"中文 ÄÖ", u"äö", 0, 3},           // letters beyond ASCII ignore case too
      {u"abc", u"zz", 0, std::nullopt},
      {u"abc", u"zz", 2, std::nullopt},    // the wrap finds nothing either
      {u"abc", u"", 0, std::nullopt},
      {u"", u"a", 0, std::nullopt},
  };
  for (const Case& c : cases) {
    const auto match = FindInText(c.text, c.needle, c.from);
    ASSERT_EQ(match.has_value(), c.at.has_value()) << c.from;
    if (match) {
      EXPECT_EQ(*match, (TextMatch{*c.at, *c.at + c.needle.size()})) << c.from;
    }
  }
  EXPECT_EQ(kNotFoundInCurrent, (Message{u"没有找到！", u"查找当前内容"}));
}

TEST(SearchText, LowerCaseAtMostThirtyUnitsNoHalfCharacters) {
  struct Case {
    std::u16string box, text;
  };
  const Case cases[] = {
      {u"ABC Äб", u"abc äб"},
      {u"ＡＢ Ω Ж", u"ａｂ ω ж"},  // full-width Latin, Greek, Cyrillic
      {std::u16string(31, u'A'), std::u16string(30, u'a')},
      {std::u16string(29, u'a') + u"\U0001F600", std::u16string(29, u'a')},  // the box cut the pair
  };
  for (const Case& c : cases) EXPECT_EQ(SearchTextFromBox(c.box), c.text);
  // Folding twice changes nothing: the stored text is searched as it is.
  const std::u16string mixed = u"AbÇĀāĹĺŸЁёΣ";
  EXPECT_EQ(LowerForSearch(LowerForSearch(mixed)), LowerForSearch(mixed));

  EXPECT_EQ(OnSearchBoxChange(u"abc", u"abd"), SearchBoxStep::StoreText);
  EXPECT_EQ(OnSearchBoxChange(u"abc", u"ABC"), SearchBoxStep::FindInCurrent);  // only the case changed
  EXPECT_EQ(OnSearchBoxChange(u"", u""), SearchBoxStep::FindInCurrent);
}

TEST(ContainsIgnoringCase, EdgesOfTheText) {
  struct Case {
    std::u16string text, needle;
    bool found;
  };
  const Case cases[] = {
      {u"Hello", u"hello", true}, {u"xxHELLO", u"hello", true}, {u"HELL", u"hello", false},
      {u"hhello", u"hello", true}, {u"abc", u"", false},        {u"", u"a", false},
      {u"aaab", u"aab", true},     {u"ДОМ", u"дом", true},      {u"中文", u"文", true},
  };
  for (const Case& c : cases) EXPECT_EQ(ContainsIgnoringCase(c.text, c.needle), c.found) << c.text.size();
}

// A note with a gap in its ids, an encrypted item and long texts.
struct Note {
  std::vector<std::u16string> titles, contents;
  std::vector<std::uint32_t> ids;
  std::vector<NoteEntry> entries;
  Note() {
    Add(2, u"Alpha", u"first BETA text");
    Add(5, u"beta", u"beta again");
    Add(7, u"Secret", u"<k>beta in cipher");
    Add(8, u"Bare tag", u"<K>");
    Add(9, u"ALPHA again", std::u16string(30736, u'x') + u"tail");
    Add(11, std::u16string(5016, u'y') + u"omega", u"Ωmega");
  }
  void Add(std::uint32_t id, std::u16string title, std::u16string content) {
    ids.push_back(id);
    titles.push_back(std::move(title));
    contents.push_back(std::move(content));
  }
  std::span<const NoteEntry> View() {
    entries.clear();
    for (std::size_t i = 0; i < ids.size(); ++i) entries.push_back({ids[i], titles[i], contents[i]});
    return entries;
  }
};

TEST(FindNextItem, AfterTheCurrentItemThenFromTheStartInBothForms) {
  Note note;
  const std::span<const NoteEntry> entries = note.View();
  struct Case {
    std::uint32_t current;
    std::u16string needle;
    SearchField field;
    ItemSearchResult result;
    std::uint32_t item;
  };
  const Case cases[] = {
      {2, u"alpha", SearchField::Title, ItemSearchResult::Found, 9},
      {9, u"alpha", SearchField::Title, ItemSearchResult::Found, 2},       // wraps to the lowest id
      {5, u"beta", SearchField::Title, ItemSearchResult::OnlyCurrent, 5},  // tested last
      {0, u"beta", SearchField::Title, ItemSearchResult::Found, 5},        // a new item: from the start
      {0, u"gamma", SearchField::Title, ItemSearchResult::NotFound, 0},
      {6, u"alpha", SearchField::Title, ItemSearchResult::Found, 9},       // the current item was deleted
      {12, u"alpha", SearchField::Title, ItemSearchResult::Found, 2},      // beyond the highest id
      {2, u"omega", SearchField::Title, ItemSearchResult::NotFound, 0},    // past the 5016 units read
      {2, u"beta", SearchField::Content, ItemSearchResult::Found, 5},      // never inside the encrypted 7
      {5, u"beta", SearchField::Content, ItemSearchResult::Found, 2},      // ... nor on the way round
      {5, u"cipher", SearchField::Content, ItemSearchResult::NotFound, 0},
      {2, u"<k>", SearchField::Content, ItemSearchResult::Found, 8},       // a bare tag is plain text; 7 is not
      {2, u"tail", SearchField::Content, ItemSearchResult::NotFound, 0},   // past the 30736 units read
      {2, u"ωMEGA", SearchField::Content, ItemSearchResult::Found, 11},    // the needle's case does not matter
      {2, u"", SearchField::Title, ItemSearchResult::NotFound, 0},
  };
  std::map<std::uint32_t, std::size_t> index;
  for (std::size_t i = 0; i < note.ids.size(); ++i) index[note.ids[i]] = i;
  auto next = [&](std::uint32_t id) -> std::uint32_t {
    const auto it = index.upper_bound(id);
    return it == index.end() ? 0 : it->first;
  };
  for (const Case& c : cases) {
    const ItemSearch listed = FindNextItem(entries, c.current, c.needle, c.field);
    EXPECT_EQ(listed.result, c.result) << c.current << " " << static_cast<int>(c.field);
    EXPECT_EQ(listed.item, c.item) << c.current << " " << static_cast<int>(c.field);
    // The form that reads the note as it goes takes the needle lower-cased.
    const bool contents = c.field == SearchField::Content;
    const ItemSearch read = FindNextItem(c.current, LowerForSearch(c.needle), contents, next, [&](std::uint32_t id) {
      return contents ? note.contents[index.at(id)] : note.titles[index.at(id)];
    });
    EXPECT_EQ(read.result, listed.result) << c.current;
    EXPECT_EQ(read.item, listed.item) << c.current;
  }
  EXPECT_EQ(FindNextItem(std::span<const NoteEntry>(), 0, u"a", SearchField::Title).result,
            ItemSearchResult::NotFound);
}

TEST(FindNextItem, MessagesNameTheSearch) {
  struct Case {
    ItemSearchResult result;
    SearchField field;
    std::optional<Message> message;
  };
  const Case cases[] = {
      {ItemSearchResult::NotFound, SearchField::Title, Message{u"此便利贴中没有找到！", u"查找标题"}},
      {ItemSearchResult::OnlyCurrent, SearchField::Title, Message{u"只找到当前一项！", u"查找标题"}},
      {ItemSearchResult::NotFound, SearchField::Content, Message{u"此便利贴中没有找到！", u"查找非加密内容"}},
      {ItemSearchResult::OnlyCurrent, SearchField::Content, Message{u"只找到当前一项！", u"查找非加密内容"}},
      {ItemSearchResult::Found, SearchField::Title, std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ItemSearchMessage(c.result, c.field), c.message);
}

}  // namespace
}  // namespace vellumo::editor
