#pragma once
// The rows of the item list page: which items of the note it shows, and
// what of them.  An encrypted content shows as its tag alone and is never
// searched: its plain text must not leak through a filter.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "manager/note_filter.h"
#include "store/ku.h"

namespace vellumo::manager {

inline constexpr std::size_t kPageFilterUnits = 120;
inline constexpr std::size_t kRowTitleUnits = 64;
inline constexpr std::size_t kRowContentUnits = 1000;

struct ItemRow {
  std::uint32_t item = 0;
  std::u16string title;    // at most 64 units
  std::u16string content;  // at most 1000 units; "<k>"/"<K>" alone when encrypted
  bool operator==(const ItemRow&) const = default;
};

struct ItemRows {
  std::vector<ItemRow> rows;
  std::uint32_t total = 0;  // items of the note
};

// `windowFilter` is the management window's (its mode and text);
// `pageFilter` the page's own, already lower-cased, matched in titles and
// contents alike.
[[nodiscard]] ItemRows ListItemRows(Ku& db, std::uint32_t note, const NoteFilter& windowFilter,
                                    std::u16string_view pageFilter);

// "3 / 17"
[[nodiscard]] std::u16string RowCountText(std::size_t shown, std::uint32_t total);

}  // namespace vellumo::manager
