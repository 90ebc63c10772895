#pragma once
// Cutting UTF-16 text to a limit without leaving half a surrogate pair at
// the end, which would show as a broken character.
#include <cstddef>
#include <string_view>

namespace vellumo::editor {

[[nodiscard]] constexpr bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }

// The length to keep of `text` at most `limit` units long.
[[nodiscard]] constexpr std::size_t CutPoint(std::u16string_view text, std::size_t limit) {
  if (text.size() <= limit) return text.size();
  return limit > 0 && IsHighSurrogate(text[limit - 1]) ? limit - 1 : limit;
}

}  // namespace vellumo::editor
