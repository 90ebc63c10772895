#pragma once
// The note-id list of an "<open>"/"<OPEN>" item: decimal numbers joined by
// commas, each read as wcstol reads one (leading white space and a sign
// allowed).  The list ends at the first place that is not a usable id or
// not followed directly by a comma:
//   "3,0,4" -> 3      " 3, 4" -> 3 4      "3;4" -> 3      "3 ,4" -> 3
//   "abc"   -> none   "3,"    -> 3        "3,,4" -> 3
// A negative number or one beyond the largest note id ends the list too: as
// an unsigned id it would name a note the user never wrote (-1 would be the
// settings pseudo-note 0xFFFFFFFF), and a clamped overflow would open a
// note number nobody typed.
#include <cstdint>
#include <string_view>
#include <vector>

namespace vellumo::actions {

inline constexpr std::uint32_t kLargestNoteId = 0xFFFFFFFEu;

[[nodiscard]] std::vector<std::uint32_t> ParseOpenList(std::u16string_view list);

}  // namespace vellumo::actions
