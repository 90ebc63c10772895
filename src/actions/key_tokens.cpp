#include "actions/key_tokens.h"

namespace vellumo::actions {
namespace {

// Upper-case only: a lower-case hex digit would make "<cd>" ambiguous.
std::optional<std::uint32_t> HexDigit(char16_t c) noexcept {
  if (c >= u'0' && c <= u'9') return static_cast<std::uint32_t>(c - u'0');
  if (c >= u'A' && c <= u'F') return static_cast<std::uint32_t>(c - u'A' + 10);
  return std::nullopt;
}

std::optional<std::uint8_t> ModifierKey(char16_t x) noexcept {
  switch (x) {
    case u'c': return kVkControl;
    case u'a': return kVkMenu;
    case u's': return kVkShift;
    case u'w': return kVkLWin;
    default: return std::nullopt;
  }
}

}  // namespace

std::optional<KeyToken> ParseKeyToken(char16_t x, char16_t y) noexcept {
  if (x == u'0' && y == u'0') return KeyToken{KeyTokenKind::Placeholder, 0};

  // A single digit: "<10s>" is five units and never reaches here.
  if (x >= u'1' && x <= u'9') {
    const auto count = static_cast<std::uint32_t>(x - u'0');
    if (y == u's') return KeyToken{KeyTokenKind::Pause, count * 1000};
    if (y == u'h') return KeyToken{KeyTokenKind::Pause, count * 100};
  }

  if (const auto modifier = ModifierKey(x)) {
    if (y == u'd') return KeyToken{KeyTokenKind::KeyDown, *modifier};
    if (y == u'u') return KeyToken{KeyTokenKind::KeyUp, *modifier};
  }

  if (x == u'f') {
    if (y >= u'1' && y <= u'9') return KeyToken{KeyTokenKind::PressKey, kVkF1 + static_cast<std::uint32_t>(y - u'1')};
    if (y >= u'a' && y <= u'o') return KeyToken{KeyTokenKind::PressKey, kVkF10 + static_cast<std::uint32_t>(y - u'a')};
  }

  const auto high = HexDigit(x);
  const auto low = HexDigit(y);
  if (high && low) return KeyToken{KeyTokenKind::PressKey, *high << 4 | *low};
  return std::nullopt;
}

}  // namespace vellumo::actions
