#pragma once
// SyncVerifier: the 20-byte value that proves knowledge of a sync password to
// the sync server without sending it.
//
//   unit     = password (UTF-16LE bytes) || kSyncVerifierFillerBytes copies
//              of kSyncVerifierFillerByte
//   verifier = SHA-1( unit repeated kSyncVerifierRounds times )   -- one hash
//              over all copies concatenated, not a hash chain
//
// The filler byte is this program's own choice and part of the protocol.  The
// sync server only stores and compares verifiers, so it never needs the
// value; but anything that computes a verifier (another client build, a
// server-side tool that sets up a sync ID with its password) must use
// exactly kSyncVerifierFillerByte, or its verifiers will never match.  It
// can therefore never change.
//
// The repetition only makes guessing slower (about 133 MB hashed for an
// 8-character password); it is not a password-hashing function.
#include <cstddef>
#include <cstdint>
#include <span>

#include "sync/sha1.h"

namespace vellumo::sync {

inline constexpr std::uint8_t kSyncVerifierFillerByte = 0xA5;
inline constexpr std::size_t kSyncVerifierFillerBytes = 2021;
inline constexpr std::size_t kSyncVerifierRounds = 65537;

using SyncVerifierValue = Sha1Digest;

// Allocates one unit of password + filler bytes (std::bad_alloc is its only
// failure).
[[nodiscard]] SyncVerifierValue SyncVerifier(std::span<const std::uint8_t> passwordUtf16);

}  // namespace vellumo::sync
