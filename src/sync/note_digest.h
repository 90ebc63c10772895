#pragma once
// Item hashes and note digests of what a database holds: items are hashed
// from their records exactly as stored, so an encrypted body goes in as
// cipher text and the server never sees the protected text.
#include <cstdint>
#include <span>
#include <vector>

#include "sync/item_block.h"

namespace vellumo {
class Ku;
}

namespace vellumo::sync {

// An item's title and content as stored: the bytes its ItemBlock is made of.
struct StoredItem {
  std::vector<std::uint8_t> title;    // UTF-16LE
  std::vector<std::uint8_t> content;  // UTF-16LE, as stored
  [[nodiscard]] ItemFields Fields() const noexcept { return {title, content}; }
};

// A field that is absent or cannot be read is empty; a stray odd last byte
// is not part of the text and is dropped.  Reads only.
[[nodiscard]] StoredItem ReadStoredItem(Ku& db, std::uint32_t note, std::uint32_t item);
[[nodiscard]] ItemHashValue StoredItemHash(Ku& db, std::uint32_t note, std::uint32_t item);

// The digest over the given items of a note; past the 4096 a note can hold,
// ids are not counted.  Reads only.
[[nodiscard]] NoteDigestValue NoteDigestOf(Ku& db, std::uint32_t note, std::span<const std::uint32_t> items);
// Over the items the note lists, as the sync engine lists them (which also
// repairs a stored item count that disagrees with the order index).
[[nodiscard]] NoteDigestValue NoteDigestOf(Ku& db, std::uint32_t note);

}  // namespace vellumo::sync
