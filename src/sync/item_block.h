#pragma once
// ItemBlock: the canonical byte form of one item, hashed to identify the item
// on the sync server and sealed as the item's payload.
//
//   OFFSET  SIZE  FIELD
//   0       4     T, byte length of the title (u32 LE)
//   4       T     title, UTF-16LE without terminator
//   4+T     4     C, byte length of the content (u32 LE)
//   8+T     C     content, UTF-16LE exactly as stored; an encrypted "<k>"/"<K>"
//                 content goes in its stored, encrypted form, so the server
//                 and the hash never see the protected text
//
// A well-formed block is exactly 8 + T + C bytes long; nothing may follow.
//
// ItemHash is SHA-1 of the block.  NoteDigest adds the ten 16-bit LE words of
// every item hash of a note word by word modulo 65536, so it is the same in
// whatever order the items are listed and counts duplicates once each.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "sync/sha1.h"

namespace vellumo::sync {

inline constexpr std::size_t kItemBlockHeaderBytes = 8;  // the two length fields

using ItemHashValue = Sha1Digest;
using NoteDigestValue = std::array<std::uint8_t, kSha1DigestBytes>;

// The plain values an ItemBlock is made of; the views must outlive the use.
struct ItemFields {
  std::span<const std::uint8_t> title;    // UTF-16LE bytes
  std::span<const std::uint8_t> content;  // UTF-16LE bytes as stored
};

class ItemBlock {
 public:
  // nullopt only when a part is longer than its 32-bit length field can say;
  // stored values are at most 65535 bytes, so items from the database always
  // fit.
  [[nodiscard]] static std::optional<ItemBlock> Make(const ItemFields& fields);

  [[nodiscard]] std::span<const std::uint8_t> bytes() const noexcept { return bytes_; }
  [[nodiscard]] std::span<const std::uint8_t> title() const noexcept;
  [[nodiscard]] std::span<const std::uint8_t> content() const noexcept;

 private:
  ItemBlock() = default;
  std::vector<std::uint8_t> bytes_;
  std::size_t titleBytes_ = 0;
};

enum class ItemBlockError : int {
  kOk = 0,
  kTooShort = 1,         // fewer than the eight bytes of the two length fields
  kTitleOverrun = 2,     // T reaches past the end
  kLengthMismatch = 3,   // C does not end the block exactly at its last byte
};

// Reads a received block without copying; fields views into bytes.
[[nodiscard]] ItemBlockError ParseItemBlock(std::span<const std::uint8_t> bytes,
                                            ItemFields& fields) noexcept;

[[nodiscard]] ItemHashValue ItemHash(std::span<const std::uint8_t> itemBlockBytes) noexcept;
// Same value as hashing ItemBlock::Make(fields), without building the block;
// for hashing every item of a note.  Title and content must each be shorter
// than 4 GiB, as ItemBlock::Make requires.
[[nodiscard]] ItemHashValue ItemHash(const ItemFields& fields) noexcept;

// The digest of a note without items is 20 zero bytes.
void AddToNoteDigest(NoteDigestValue& digest, const ItemHashValue& itemHash) noexcept;
[[nodiscard]] NoteDigestValue NoteDigest(std::span<const ItemHashValue> itemHashes) noexcept;

}  // namespace vellumo::sync
