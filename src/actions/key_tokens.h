#pragma once
// Tokens of a key sequence: exactly four units "<" x y ">", of which only the
// inner two decide.  The decision is pure so that the typing step, the item
// editor's checks and the tests share one table:
//
//   x          y           token
//   "0"        "0"         placeholder, does nothing ("<00>")
//   "1".."9"   "s"         pause of x seconds
//   "1".."9"   "h"         pause of x * 100 ms
//   "c"        "d" / "u"   Ctrl down / up
//   "a"        "d" / "u"   Alt down / up
//   "s"        "d" / "u"   Shift down / up
//   "w"        "d" / "u"   left Windows key down / up
//   "f"        "1".."9"    press and release F1..F9
//   "f"        "a".."o"    press and release F10..F24
//   hex digit  hex digit   press and release the virtual key 0xXY
//
// Rows are tried in that order, so "<00>" is the placeholder and never the
// virtual key 0.  Letters are case-sensitive: the named rows are lower case,
// hexadecimal digits upper case, which keeps "<cd>" (Ctrl down) apart from
// "<CD>" (virtual key 0xCD).  Anything else is no token and is typed as text.
#include <cstddef>
#include <cstdint>
#include <optional>

namespace vellumo::actions {

// Virtual-key codes the player names itself.  They are the values of the
// Win32 VK_ constants, repeated here so that this layer stays portable.
inline constexpr std::uint8_t kVkTab = 0x09;
inline constexpr std::uint8_t kVkReturn = 0x0D;
inline constexpr std::uint8_t kVkShift = 0x10;
inline constexpr std::uint8_t kVkControl = 0x11;
inline constexpr std::uint8_t kVkMenu = 0x12;  // Alt
inline constexpr std::uint8_t kVkLWin = 0x5B;
inline constexpr std::uint8_t kVkF1 = 0x70;
inline constexpr std::uint8_t kVkF10 = 0x79;
inline constexpr std::uint8_t kVkF24 = 0x87;

inline constexpr std::size_t kKeyTokenUnits = 4;

enum class KeyTokenKind : std::uint8_t {
  Placeholder,  // "<00>"
  Pause,        // value = milliseconds, 100 .. 9000
  KeyDown,      // value = virtual key
  KeyUp,        // value = virtual key
  PressKey,     // value = virtual key, pressed and released
};

struct KeyToken {
  KeyTokenKind kind;
  std::uint32_t value;
  friend bool operator==(const KeyToken&, const KeyToken&) = default;
};

// The token whose inner units are x and y, or nothing when "<" x y ">" is
// to be typed as text.
[[nodiscard]] std::optional<KeyToken> ParseKeyToken(char16_t x, char16_t y) noexcept;

}  // namespace vellumo::actions
