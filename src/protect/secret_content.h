#pragma once
// Secret contents: item contents whose body is stored encrypted.
//
//   UNITS   FIELD
//   0..2    tag "<k>" or "<K>", always plain, so that any reader can tell an
//           encrypted item from its first three code units
//   3..     body: plain text in memory; stored, the cipher text of the body's
//           UTF-16LE bytes zero-padded to whole 16-byte blocks, two bytes to a
//           code unit, little-endian (eight code units per block)
//
// A content that is the tag alone has no body and is stored as it is.
//
// Every writer of an encrypted body goes through StoredSecretContent, which
// refuses a stored form longer than the item content limit: the model cuts
// a longer content, the cut leaves a body that is not whole blocks, and such
// a body decrypts to nothing.
#include <cstddef>
#include <string>
#include <string_view>

#include "protect/content_key.h"

namespace vellumo::protect {

inline constexpr std::size_t kSecretTagUnits = 3;

// Begins with "<k>" or "<K>", with or without a body.
[[nodiscard]] constexpr bool HasSecretTag(std::u16string_view content) noexcept {
  return content.starts_with(u"<k>") || content.starts_with(u"<K>");
}

// A tag followed by a body: the only contents whose stored form differs from
// their plain form.
[[nodiscard]] constexpr bool IsSecretContent(std::u16string_view content) noexcept {
  return content.size() > kSecretTagUnits && HasSecretTag(content);
}

// The tag of a secret content; empty for any other content.
[[nodiscard]] constexpr std::u16string_view SecretTag(std::u16string_view content) noexcept {
  return IsSecretContent(content) ? content.substr(0, kSecretTagUnits) : std::u16string_view();
}

// What follows the tag of a secret content; empty for any other content.
[[nodiscard]] constexpr std::u16string_view SecretBody(std::u16string_view content) noexcept {
  return IsSecretContent(content) ? content.substr(kSecretTagUnits) : std::u16string_view();
}

// Code units of the stored form of a plain content: its own length for any
// content but a secret one, whose body grows to whole blocks.
[[nodiscard]] constexpr std::size_t StoredContentUnits(std::u16string_view plainContent) noexcept {
  if (!IsSecretContent(plainContent)) return plainContent.size();
  const std::size_t bodyBytes = (plainContent.size() - kSecretTagUnits) * 2;
  return kSecretTagUnits + (bodyBytes + 15) / 16 * 8;
}

enum class StoreContentError : int {
  kOk = 0,
  kLocked = 1,   // a secret content while no key is in the slot
  kTooLong = 2,  // the stored form would be longer than the item content limit
};

// The stored form of a plain content: a secret content's body encrypted, any
// other content as it is.  Refused, with out empty, when the stored form is
// longer than the model stores whole (kMaxStoredContentChars code units).
[[nodiscard]] StoreContentError StoredSecretContent(std::u16string_view plainContent,
                                                    const ContentProtection& protection, std::u16string& out);
[[nodiscard]] StoreContentError StoredSecretContent(std::u16string_view plainContent, const ContentKey& key,
                                                    std::u16string& out);

// The plain form of a stored content: a secret content's body decrypted (a
// body that is not whole blocks shows as empty, one under another key as
// garbage), any other content as it is.  While locked a secret body is empty.
[[nodiscard]] std::u16string PlainSecretContent(std::u16string_view storedContent,
                                                const ContentProtection& protection);

}  // namespace vellumo::protect
