#include "platform/case_fold.h"

namespace vellumo::platform {

char16_t FoldCaseBeyondAscii(char16_t c) {
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 32);  // Latin-1, not ×
  if (c >= 0x100 && c <= 0x17F) {
    // Latin Extended-A pairs capital and small letters side by side; the
    // odd/even pairing flips at 0x139..0x148 and 0x179..0x17E.
    const bool shifted = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (c == 0x178) return 0xFF;  // Ÿ
    if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
    const bool capital = shifted ? (c % 2 == 1) : (c % 2 == 0);
    return capital ? static_cast<char16_t>(c + 1) : c;
  }
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return static_cast<char16_t>(c + 32);  // Greek
  if (c >= 0x410 && c <= 0x42F) return static_cast<char16_t>(c + 32);               // Cyrillic
  if (c >= 0x400 && c <= 0x40F) return static_cast<char16_t>(c + 80);
  if (c >= 0xFF21 && c <= 0xFF3A) return static_cast<char16_t>(c + 32);  // full-width A-Z
  return c;
}

std::u16string FoldCase(std::u16string_view text) {
  std::u16string folded(text);
  for (char16_t& c : folded) c = FoldCase(c);
  return folded;
}

bool ContainsFolded(std::u16string_view text, std::u16string_view foldedNeedle) {
  if (foldedNeedle.empty() || foldedNeedle.size() > text.size()) return false;
  const char16_t first = foldedNeedle.front();
  const std::size_t last = text.size() - foldedNeedle.size();
  for (std::size_t i = 0; i <= last; ++i) {
    if (FoldCase(text[i]) != first) continue;
    std::size_t k = 1;
    while (k < foldedNeedle.size() && FoldCase(text[i + k]) == foldedNeedle[k]) ++k;
    if (k == foldedNeedle.size()) return true;
  }
  return false;
}

}  // namespace vellumo::platform
