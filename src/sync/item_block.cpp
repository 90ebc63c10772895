#include "sync/item_block.h"

#include <limits>

#include "platform/bytes.h"
#include "sync/byte_io.h"

namespace vellumo::sync {

namespace {

constexpr std::size_t kMaxPartBytes = std::numeric_limits<std::uint32_t>::max();

}  // namespace

std::optional<ItemBlock> ItemBlock::Make(const ItemFields& fields) {
  if (fields.title.size() > kMaxPartBytes || fields.content.size() > kMaxPartBytes) {
    return std::nullopt;
  }
  ItemBlock block;
  block.bytes_.reserve(kItemBlockHeaderBytes + fields.title.size() + fields.content.size());
  ByteWriter w(block.bytes_);
  w.U32(static_cast<std::uint32_t>(fields.title.size()));
  w.Bytes(fields.title);
  w.U32(static_cast<std::uint32_t>(fields.content.size()));
  w.Bytes(fields.content);
  block.titleBytes_ = fields.title.size();
  return block;
}

std::span<const std::uint8_t> ItemBlock::title() const noexcept {
  return bytes().subspan(4, titleBytes_);
}

std::span<const std::uint8_t> ItemBlock::content() const noexcept {
  return bytes().subspan(kItemBlockHeaderBytes + titleBytes_);
}

ItemBlockError ParseItemBlock(std::span<const std::uint8_t> bytes, ItemFields& fields) noexcept {
  fields = {};
  if (bytes.size() < kItemBlockHeaderBytes) return ItemBlockError::kTooShort;
  ByteReader r(bytes);
  const std::uint32_t titleBytes = r.U32();
  const auto title = r.Bytes(titleBytes);
  if (!r.ok() || r.Remaining() < 4) return ItemBlockError::kTitleOverrun;
  const std::uint32_t contentBytes = r.U32();
  // Compared without adding, so T + C + 8 cannot wrap.
  if (contentBytes != r.Remaining()) return ItemBlockError::kLengthMismatch;
  fields.title = title;
  fields.content = r.Rest();
  return ItemBlockError::kOk;
}

ItemHashValue ItemHash(std::span<const std::uint8_t> itemBlockBytes) noexcept {
  return Sha1Hash(itemBlockBytes);
}

ItemHashValue ItemHash(const ItemFields& fields) noexcept {
  std::uint8_t length[4];
  Sha1 sha;
  StoreU32LE(length, static_cast<std::uint32_t>(fields.title.size()));
  sha.Update(length);
  sha.Update(fields.title);
  StoreU32LE(length, static_cast<std::uint32_t>(fields.content.size()));
  sha.Update(length);
  sha.Update(fields.content);
  return sha.Final();
}

void AddToNoteDigest(NoteDigestValue& digest, const ItemHashValue& itemHash) noexcept {
  for (std::size_t i = 0; i < digest.size(); i += 2) {
    const auto sum = static_cast<std::uint16_t>(LoadU16LE(&digest[i]) + LoadU16LE(&itemHash[i]));
    StoreU16LE(&digest[i], sum);
  }
}

NoteDigestValue NoteDigest(std::span<const ItemHashValue> itemHashes) noexcept {
  NoteDigestValue digest{};
  for (const auto& h : itemHashes) AddToNoteDigest(digest, h);
  return digest;
}

}  // namespace vellumo::sync
