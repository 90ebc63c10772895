#pragma once
// Stored text is UTF-16LE code units without a terminator, whatever the
// host's byte order.  The units are copied as they are: no validation, so
// cipher text read as units and half of a surrogate pair survive a round
// trip unchanged.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/bytes.h"

namespace vellumo {

inline std::vector<std::uint8_t> Utf16ToBytes(std::u16string_view text) {
  std::vector<std::uint8_t> bytes(text.size() * 2);
  for (std::size_t i = 0; i < text.size(); ++i) StoreU16LE(&bytes[2 * i], static_cast<std::uint16_t>(text[i]));
  return bytes;
}

// Into a buffer the caller owns (secrets live in buffers that are wiped):
// min(bytes / 2, units) units are written.  An odd last byte belongs to no
// unit and is dropped.
inline void Utf16FromBytesInto(std::span<const std::uint8_t> bytes, std::span<char16_t> units) {
  const std::size_t n = bytes.size() / 2 < units.size() ? bytes.size() / 2 : units.size();
  for (std::size_t i = 0; i < n; ++i) units[i] = static_cast<char16_t>(LoadU16LE(&bytes[2 * i]));
}

inline std::u16string Utf16FromBytes(std::span<const std::uint8_t> bytes) {
  std::u16string text(bytes.size() / 2, u'\0');
  Utf16FromBytesInto(bytes, text);
  return text;
}

}  // namespace vellumo
