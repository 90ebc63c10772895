#include "sync/sealing.h"

#include <algorithm>

#include "platform/bytes.h"
#include "platform/secure_random.h"
#include "protect/caes.h"
#include "protect/wipe_guard.h"
#include "sync/item_block.h"
#include "sync/sha1.h"

namespace vellumo::sync {

namespace {

using protect::CAES;
using protect::WipeGuard;

// The compressor keeps kCompressSlackBytes free, so a stream that fits its
// capacity of kMaxPayloadBytes always fits a blob of kMaxSealedBytes once
// header, end marker and padding are added.  The explicit size test in
// SealItemBlock keeps the promise even if that slack ever shrinks: a blob
// that unsealing would refuse for its size must never be produced.
constexpr std::size_t RoundUpToBlock(std::size_t sizeBytes) noexcept {
  return (sizeBytes + kSealBlockBytes - 1) / kSealBlockBytes * kSealBlockBytes;
}
static_assert(RoundUpToBlock(kSealHeaderBytes + (kMaxPayloadBytes - kCompressSlackBytes) + 1) <=
              kMaxSealedBytes);

std::uint16_t CheckValue(std::span<const std::uint8_t> bytes) noexcept {
  std::uint32_t h = 0;
  for (const auto b : bytes) h = h * 33u + b;
  return static_cast<std::uint16_t>(h);
}

void InitCipher(CAES& aes, const SyncKey& key) {
  // A fresh object per blob: the IV restarts for every blob.
  aes.MakeKey(key.key, key.iv);
}

}  // namespace

SyncKey::~SyncKey() {
  platform::SecureWipe(key.data(), key.size());
  platform::SecureWipe(iv.data(), iv.size());
}

SyncKey DeriveSyncKey(std::span<const std::uint8_t> passwordUtf16) noexcept {
  Sha1Digest h1 = Sha1Hash(passwordUtf16);
  Sha1Digest h2 = Sha1Hash(h1);
  WipeGuard wipe1(h1);
  WipeGuard wipe2(h2);
  SyncKey k;
  std::copy_n(h1.begin(), 12, k.key.begin());
  std::copy_n(h2.begin(), 4, k.key.begin() + 12);
  std::copy_n(h2.begin() + 4, 16, k.iv.begin());
  return k;
}

SealError SealItemBlock(const SyncKey& key, std::span<const std::uint8_t> itemBlock,
                        std::vector<std::uint8_t>& sealed) {
  sealed.clear();
  if (itemBlock.size() > kMaxItemBlockBytes) return SealError::kBlockTooLarge;
  ItemFields fields;
  if (ParseItemBlock(itemBlock, fields) != ItemBlockError::kOk) return SealError::kMalformedBlock;

  std::vector<std::uint8_t> plain(kSealHeaderBytes + kMaxPayloadBytes + kSealBlockBytes);
  const WipeGuard wipePlain(plain);
  std::size_t streamBytes = 0;
  const auto streamArea = std::span<std::uint8_t>(plain).subspan(kSealHeaderBytes, kMaxPayloadBytes);
  if (CompressPayload(itemBlock, streamArea, streamBytes) != kPayloadOk) {
    return SealError::kDoesNotFit;
  }
  const std::size_t usedBytes = kSealHeaderBytes + streamBytes + 1;
  const std::size_t totalBytes = RoundUpToBlock(usedBytes);
  if (totalBytes > kMaxSealedBytes) return SealError::kDoesNotFit;
  const std::size_t paddingBytes = totalBytes - usedBytes;

  std::array<std::uint8_t, 2 + kSealBlockBytes> random{};
  const WipeGuard wipeRandom(random);
  if (!platform::FillSecureRandom(std::span(random).first(2 + paddingBytes))) {
    return SealError::kNoRandom;
  }
  plain[2] = random[0];
  plain[3] = random[1];
  plain[usedBytes - 1] = 0;
  for (std::size_t i = 0; i < paddingBytes; ++i) {
    // Zero is the end marker; mapping it to 1 keeps the padding unambiguous.
    plain[usedBytes + i] = random[2 + i] == 0 ? std::uint8_t{1} : random[2 + i];
  }
  const auto body = std::span<const std::uint8_t>(plain).first(totalBytes);
  StoreU16LE(plain.data(), CheckValue(body.subspan(kSealHeaderBytes)));

  CAES aes;
  InitCipher(aes, key);
  sealed.resize(totalBytes);
  aes.Encrypt(body, sealed, CAES::Mode::CBC);
  return SealError::kOk;
}

UnsealError UnsealItemBlock(const SyncKey& key, std::span<const std::uint8_t> sealed,
                            std::vector<std::uint8_t>& itemBlock) {
  itemBlock.clear();
  const std::size_t sealedBytes = sealed.size();
  // Zero bytes would also reach the cipher as misuse; the smallest real blob
  // is one block.
  if (sealedBytes == 0 || sealedBytes > kMaxSealedBytes || sealedBytes % kSealBlockBytes != 0) {
    return UnsealError::kBadSize;
  }

  std::vector<std::uint8_t> plain(sealedBytes);
  const WipeGuard wipePlain(plain);
  CAES aes;
  InitCipher(aes, key);
  aes.Decrypt(sealed, plain, CAES::Mode::CBC);

  const auto body = std::span<const std::uint8_t>(plain);
  if (CheckValue(body.subspan(kSealHeaderBytes)) != LoadU16LE(plain.data())) {
    return UnsealError::kCheckMismatch;
  }
  // The marker is the last zero byte and at most 15 padding bytes follow it,
  // so only the last block needs looking at.
  std::size_t marker = sealedBytes;
  for (std::size_t i = sealedBytes; i-- > sealedBytes - kSealBlockBytes;) {
    if (plain[i] == 0) {
      marker = i;
      break;
    }
  }
  if (marker == sealedBytes) return UnsealError::kNoEndMarker;
  if (marker <= kSealHeaderBytes) return UnsealError::kEmptyStream;

  std::vector<std::uint8_t> decoded(kMaxItemBlockBytes);
  const WipeGuard wipeDecoded(decoded);
  std::size_t decodedBytes = 0;
  const auto stream = body.subspan(kSealHeaderBytes, marker - kSealHeaderBytes);
  if (DecompressPayload(stream, decoded, decodedBytes) != kPayloadOk) return UnsealError::kBadStream;
  const auto block = std::span<const std::uint8_t>(decoded).first(decodedBytes);
  ItemFields fields;
  if (ParseItemBlock(block, fields) != ItemBlockError::kOk) return UnsealError::kMalformedBlock;
  itemBlock.assign(block.begin(), block.end());
  return UnsealError::kOk;
}

}  // namespace vellumo::sync
