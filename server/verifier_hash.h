#pragma once
// The stored form of a sync ID's verifier.  The verifier is password
// equivalent (whoever has it can register), so the store keeps only a
// salted Argon2id hash of it; a stolen database then costs a guesser the
// password hash per try on top of the verifier's own SHA-1 rounds.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "sync/sync_verifier.h"

namespace vellumo::syncd {

struct PwhashLimits {
  unsigned long long opsLimit = 0;
  std::size_t memLimit = 0;

  // libsodium's "moderate" limits: what a deployment uses.
  static PwhashLimits Moderate() noexcept;
  static PwhashLimits Interactive() noexcept;
  // The smallest allowed: only for tests.
  static PwhashLimits Fastest() noexcept;
};

// libsodium must be initialised once before any call (InitCrypto).
[[nodiscard]] bool InitCrypto() noexcept;

// nullopt when hashing failed (out of memory).
[[nodiscard]] std::optional<std::string> HashVerifier(const sync::SyncVerifierValue& verifier,
                                                      const PwhashLimits& limits);
[[nodiscard]] bool VerifierMatches(const std::string& stored, const sync::SyncVerifierValue& verifier) noexcept;

}  // namespace vellumo::syncd
