#pragma once
// The editor's searches over UTF-16 text, case-insensitive: in the content
// being edited (from the end of the selection, wrapping once to the start)
// and through the note's items after the current one (wrapping to the
// lowest id).  Encrypted contents are never searched: their stored form is
// cipher text, and a match there would only be chance.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vellumo::editor {

inline constexpr std::size_t kSearchTextUnits = 30;

// Lower case as the search compares (platform/case_fold.h).
[[nodiscard]] std::u16string LowerForSearch(std::u16string_view text);

struct TextMatch {
  std::size_t start = 0, end = 0;
};
// `needle` is already lower-cased; `from` is the end of the selection.
[[nodiscard]] std::optional<TextMatch> FindInText(std::u16string_view text, std::u16string_view needle,
                                                  std::size_t from);

enum class ItemSearchResult { NotFound, OnlyCurrent, Found };
struct ItemSearch {
  ItemSearchResult result = ItemSearchResult::NotFound;
  std::uint32_t item = 0;
};
// `next(id)` gives the next item id after `id` (0: from the start; 0 when
// none is left); `text(id)` the title or stored content to search.
[[nodiscard]] ItemSearch FindNextItem(std::uint32_t current, std::u16string_view needle, bool contents,
                                      const std::function<std::uint32_t(std::uint32_t)>& next,
                                      const std::function<std::u16string(std::uint32_t)>& text);

}  // namespace vellumo::editor
