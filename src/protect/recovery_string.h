#pragma once
// The recovery string and the other words the recovery box understands.
//
// The recovery string is the ContentKey as 64 lowercase hexadecimal digits,
// byte 0 first, high nibble before low nibble.  The box's text is read as
// ANSI bytes; what it asks for depends on those bytes:
//   "clear"              exactly: a forced reset to a new random key
//   "new"                exactly: every body re-encrypted to a new random key
//   "new" + 64 bytes     every body re-encrypted to the key the digits give
//   "new" + other        refused: the length is wrong
//   64 bytes             recovery with the key the digits give
//   anything else        refused: the length is wrong ("clea" included)
// The password dialog and the database tool both decide through this, so
// that the same text means the same thing in both.
#include <cstddef>
#include <string>
#include <string_view>

#include "protect/content_key.h"

namespace vellumo::protect {

inline constexpr std::size_t kRecoveryDigits = 2 * sizeof(ContentKey);
inline constexpr std::string_view kRecoveryClearWord = "clear";
inline constexpr std::string_view kRecoveryNewWord = "new";

enum class RecoveryRequest {
  kClear,
  kNewRandom,
  kNewGiven,
  kNewWrongLength,
  kGiven,
  kWrongLength,
};

[[nodiscard]] RecoveryRequest ClassifyRecoveryText(std::string_view text) noexcept;

// The digits a kNewGiven or kGiven text carries; empty for any other.
[[nodiscard]] std::string_view RecoveryDigitsOf(std::string_view text) noexcept;

[[nodiscard]] std::string FormatRecoveryString(const ContentKey& key);

// True when every one of the 64 characters is 0-9 or a-f, the only texts
// that decode back to the key they were formatted from.
[[nodiscard]] bool AreRecoveryDigits(std::string_view digits) noexcept;

// The program's decoding, which refuses no character: a code above that of
// '9' counts as code - 87 (so 'a'-'f' are 10-15), any other as code - 48,
// and a pair gives (first << 4) | second kept to 8 bits.  Bytes above 0x7F
// count as negative codes, as a signed char gives them.  A mistyped digit
// thus installs a wrong key, which the right string repairs later.  Needs
// exactly kRecoveryDigits characters; the caller wipes the result.
void DecodeRecoveryDigits(std::string_view digits, ContentKey& out) noexcept;

}  // namespace vellumo::protect
