#pragma once
// Which notes the management window lists: the filter box and its modes.
//   none      the lower-cased name contains the text, or the text is the
//             note's number written out (exactly)
//   titles    the lower-cased title of one of its items contains the text
//   contents  the same over contents (encrypted ones as stored)
// A hidden note ("!" first) is never listed while locked.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/case_fold.h"
#include "store/ku.h"

namespace vellumo::manager {

enum class FilterMode : std::uint8_t { None, Titles, Contents };

inline constexpr std::size_t kFilterTextUnits = 15;
inline constexpr std::uint32_t kMaxItemsSearched = 4096;

using platform::FoldCase;

// A number in decimal digits, as the filter and the counters write it.
[[nodiscard]] std::u16string DecimalText(std::uint64_t n);

// The filter text as the box gives it: its first 15 units, lower-cased.
[[nodiscard]] std::u16string FilterText(std::u16string_view box);

// Enter in the filter box: none -> titles -> contents -> none.
[[nodiscard]] FilterMode NextFilterMode(FilterMode mode);
// A filter button pressed: its mode, or none when it was the mode already.
[[nodiscard]] FilterMode ModeAfterButton(FilterMode current, FilterMode button);

struct NoteFilter {
  FilterMode mode = FilterMode::None;
  std::u16string text;  // already FilterText
};

[[nodiscard]] bool NotePasses(Ku& db, std::uint32_t note, const NoteFilter& filter, bool unlocked);
// The notes to list, in key order (the list box sorts them by name).
[[nodiscard]] std::vector<std::uint32_t> FilteredNotes(Ku& db, const NoteFilter& filter, bool unlocked);

}  // namespace vellumo::manager
