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

}  // namespace vellumo::protect
