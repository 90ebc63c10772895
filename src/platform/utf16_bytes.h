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

// An odd last byte belongs to no unit and is dropped.
inline std::u16string Utf16FromBytes(std::span<const std::uint8_t> bytes) {
  std::u16string text(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char16_t>(LoadU16LE(&bytes[2 * i]));
  return text;
}

}  // namespace vellumo
