#pragma once
#include <cstdint>

#include "protect/content_key.h"

namespace vellumo::protect {

// Re-encrypts every "<k>"/"<K>" body of one note from the key in the slot to
// newKey, keeping each body's length.  A body that cannot be decrypted (not
// whole blocks) is left as it is rather than overwritten.  Returns the
// number of bodies rewritten; 0 and nothing written while locked.
std::uint32_t ReencryptNoteItems(Ku& database, const ContentProtection& current, std::uint32_t note,
                                 const ContentKey& newKey);

struct ReplaceKeyResult {
  bool replaced = false;        // the new key is stored and in the slot
  std::uint32_t rewritten = 0;  // bodies re-encrypted
};

// Replaces the ContentKey: every note's bodies are re-encrypted to the new
// key, which is then stored under the empty password and put in the slot.
// Nothing happens while locked.  When the record cannot be written the
// bodies are already under the new key and the record still holds the old
// one, so the caller must keep newKey to offer it as the recovery string.
[[nodiscard]] ReplaceKeyResult ReplaceContentKey(Ku& database, ContentProtection& protection,
                                                 const ContentKey& newKey);

}  // namespace vellumo::protect
