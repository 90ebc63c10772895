#pragma once
// Sealing: how an ItemBlock travels to and from the sync server, compressed
// and encrypted under a key derived from the note's sync password.
//
// Sync key (P = the sync password's UTF-16LE bytes):
//   H1 = SHA-1(P), H2 = SHA-1(H1)
//   AES-128 key = H1[0..11] || H2[0..3],  CBC IV = H2[4..19]
// The IV is the same for every blob of a password; the random word at bytes
// 2-3 of the first block is what makes two seals of one block differ from
// their first ciphertext block on.
//
// Sealed plaintext, encrypted whole with AES-128-CBC (D bytes, D a multiple of
// 16, 16 <= D <= kMaxSealedBytes):
//
//   OFFSET  SIZE   FIELD
//   0       2      check: low 16 bits of h over bytes 4..D-1, where h = 0 and
//                  then h = h * 33 + byte for each byte (32-bit, unsigned)
//   2       2      random word
//   4       S      compressed ItemBlock (payload stream, see compress.h)
//   4+S     1      0x00, the end marker
//   5+S     0..15  non-zero random padding up to a multiple of 16
//
// The padding never contains 0, so the last zero byte of a blob is its end
// marker.  The check is an integrity hint, not authentication: it catches a
// wrong password and most damage, and the later rules (marker position,
// stream, block shape) catch what it lets through.
//
// Random words and padding come from the system's cryptographic generator;
// nothing stored depends on how they were drawn.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "sync/compress.h"

namespace vellumo::sync {

inline constexpr std::size_t kSealBlockBytes = 16;
// Largest ItemBlock that is sealed and largest blob that is unsealed; the
// decompressed block of an accepted blob is never larger either.
inline constexpr std::size_t kMaxItemBlockBytes = kMaxPayloadBytes;
inline constexpr std::size_t kMaxSealedBytes = kMaxPayloadBytes;
inline constexpr std::size_t kSealHeaderBytes = 4;  // check + random word

struct SyncKey {
  std::array<std::uint8_t, 16> key{};
  std::array<std::uint8_t, 16> iv{};

  SyncKey() = default;
  ~SyncKey();
  SyncKey(const SyncKey&) = default;
  SyncKey& operator=(const SyncKey&) = default;
};

[[nodiscard]] SyncKey DeriveSyncKey(std::span<const std::uint8_t> passwordUtf16) noexcept;

enum class SealError : int {
  kOk = 0,
  kBlockTooLarge = 1,    // more than kMaxItemBlockBytes
  kMalformedBlock = 2,   // not a well-formed ItemBlock: it could never unseal
  kDoesNotFit = 3,       // compressed, it would not fit kMaxSealedBytes
  kNoRandom = 4,         // the system generator failed; nothing is sent
};

enum class UnsealError : int {
  kOk = 0,
  kBadSize = 1,          // empty, above kMaxSealedBytes, or not whole blocks
  kCheckMismatch = 2,    // wrong password or damaged blob
  kNoEndMarker = 3,      // no zero byte among the last 16
  kEmptyStream = 4,      // end marker at byte 4 or before: nothing compressed
  kBadStream = 5,        // the compressed stream does not decode within the limit
  kMalformedBlock = 6,   // decoded bytes are not a well-formed ItemBlock
};

// Seals itemBlock into sealed (replaced).  On failure sealed is empty and
// nothing may be sent.  May throw std::bad_alloc only.
[[nodiscard]] SealError SealItemBlock(const SyncKey& key, std::span<const std::uint8_t> itemBlock,
                                      std::vector<std::uint8_t>& sealed);

// Unseals a received blob into itemBlock (replaced), which on success is a
// well-formed ItemBlock of at most kMaxItemBlockBytes.  On failure itemBlock
// is empty.  Reads only sealed[0 .. sealed.size()) whatever it holds; the
// decrypted plaintext is wiped on every path.  May throw std::bad_alloc only.
[[nodiscard]] UnsealError UnsealItemBlock(const SyncKey& key, std::span<const std::uint8_t> sealed,
                                          std::vector<std::uint8_t>& itemBlock);

}  // namespace vellumo::sync
