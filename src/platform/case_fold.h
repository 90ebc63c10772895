#pragma once
// Lower case for searching and filtering, the same on every platform:
// ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic and the full-width
// Latin letters; anything else as it is (Chinese has no case).
#include <string>
#include <string_view>

namespace vellumo::platform {

// The letters above ASCII that have a case.
[[nodiscard]] char16_t FoldCaseBeyondAscii(char16_t unit);

// Inline because filters fold every unit of every item they read: ASCII
// and everything between Cyrillic and the full-width letters (Chinese
// among it) is settled in two comparisons.
[[nodiscard]] inline char16_t FoldCase(char16_t unit) {
  if (unit < 0x80) return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit + 32) : unit;
  if (unit > 0x42F && unit < 0xFF21) return unit;
  return FoldCaseBeyondAscii(unit);
}
[[nodiscard]] std::u16string FoldCase(std::u16string_view text);

// True when `foldedNeedle` (already folded, not empty) occurs in `text`
// ignoring case; the text is folded as it is read, never copied.
[[nodiscard]] bool ContainsFolded(std::u16string_view text, std::u16string_view foldedNeedle);

}  // namespace vellumo::platform
