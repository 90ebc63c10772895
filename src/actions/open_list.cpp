#include "actions/open_list.h"

namespace vellumo::actions {
namespace {

// The white space the C runtime's iswspace accepts in the "C" locale.
constexpr bool IsSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }
constexpr bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// One number from `at`; 0 when there is none or it is no usable id.  `at`
// is left after the digits read, as wcstol's end pointer would be.
std::uint32_t ReadId(std::u16string_view text, std::size_t& at) {
  std::size_t i = at;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  if (i >= text.size() || !IsDigit(text[i])) return 0;  // no conversion: wcstol leaves the pointer alone
  std::uint64_t value = 0;
  bool tooLarge = false;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    if (!tooLarge) value = value * 10 + static_cast<std::uint64_t>(text[i] - u'0');
    tooLarge = tooLarge || value > kLargestNoteId;
  }
  at = i;
  if (negative || tooLarge) return 0;
  return static_cast<std::uint32_t>(value);
}

}  // namespace

std::vector<std::uint32_t> ParseOpenList(std::u16string_view list) {
  std::vector<std::uint32_t> ids;
  std::size_t at = 0;
  for (;;) {
    const std::uint32_t id = ReadId(list, at);
    if (id == 0) break;
    ids.push_back(id);
    if (at >= list.size() || list[at] != u',') break;
    ++at;
  }
  return ids;
}

}  // namespace vellumo::actions
