#pragma once
// The editor's three searches over UTF-16 text, all case-insensitive.
//
// Case: both sides are lower-cased one code unit at a time
// (platform/case_fold.h): ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic
// and full-width Latin fold; Chinese has no case.  One unit maps to one
// unit, so match positions in the folded text are positions in the original.
//
// In the current content ("查找当前"): the search starts at the end of the
// selection, at 0 when that is at or past the end of the text; a match must
// start at or after that point.  When none does and the start was not 0, the
// whole text is searched once more from 0, so the first match of the text
// wins (and a lone match that is already selected is simply selected again).
//
// Through the note ("标题", "内容"): the items with an id above the current
// one, lowest id first, then from the lowest id up to the current item
// itself, which is tested last: a match there alone is "only the current
// item".  A new, unsaved item (id 0) is not in the note, so every item is
// tested once.  The stored title or content is searched, not the text being
// edited.  Encrypted contents ("<k>"/"<K>" and a body) are never searched:
// their stored body is cipher text and a match there would only be chance;
// the tag itself is no content to find either.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "editor/message.h"

namespace vellumo::editor {

inline constexpr std::size_t kSearchTextUnits = 30;
// How much of each text the searches read.
inline constexpr std::size_t kCurrentSearchUnits = 30752;
inline constexpr std::size_t kTitleSearchUnits = 5016;
inline constexpr std::size_t kContentSearchUnits = 30736;

// Lower case as the search compares (platform/case_fold.h).
[[nodiscard]] std::u16string LowerForSearch(std::u16string_view text);

// The search text kept from the search box: lower case, at most 30 units,
// and never ending in half a surrogate pair (the box's limit can cut one).
[[nodiscard]] std::u16string SearchTextFromBox(std::u16string_view box);

// An edit of the search box stores a changed search text; the same text
// again (only its letter case changed) searches the current content.
enum class SearchBoxStep { StoreText, FindInCurrent };
[[nodiscard]] SearchBoxStep OnSearchBoxChange(std::u16string_view storedText, std::u16string_view boxText);

// True when `needle` (lower case, not empty) occurs in `text` ignoring case.
[[nodiscard]] bool ContainsIgnoringCase(std::u16string_view text, std::u16string_view needle);

struct TextMatch {
  std::size_t start = 0, end = 0;
  friend bool operator==(const TextMatch&, const TextMatch&) = default;
};
// `needle` is already lower-cased; `from` is the end of the selection.
// Nothing for an empty needle.
[[nodiscard]] std::optional<TextMatch> FindInText(std::u16string_view text, std::u16string_view needle,
                                                  std::size_t from);
inline constexpr Message kNotFoundInCurrent{u"没有找到！", u"查找当前内容"};

enum class SearchField { Title, Content };
enum class ItemSearchResult { NotFound, OnlyCurrent, Found };
struct ItemSearch {
  ItemSearchResult result = ItemSearchResult::NotFound;
  std::uint32_t item = 0;
};

// One item of the note as the searches see it: its id and stored texts.
struct NoteEntry {
  std::uint32_t id = 0;
  std::u16string_view title;
  std::u16string_view content;
};
// `items` in ascending id order; `needle` in any case.
[[nodiscard]] ItemSearch FindNextItem(std::span<const NoteEntry> items, std::uint32_t current,
                                      std::u16string_view needle, SearchField field);

// The same reading the note as it goes: `next(id)` gives the next existing
// id above `id` (0: from the start; 0 when none is left), `text(id)` the
// stored title or content.  `needle` is already lower-cased.
[[nodiscard]] ItemSearch FindNextItem(std::uint32_t current, std::u16string_view needle, bool contents,
                                      const std::function<std::uint32_t(std::uint32_t)>& next,
                                      const std::function<std::u16string(std::uint32_t)>& text);

// What to tell the user after a search through the note; nothing for a
// match in another item (the editor switches to it).
[[nodiscard]] std::optional<Message> ItemSearchMessage(ItemSearchResult result, SearchField field);

}  // namespace vellumo::editor
