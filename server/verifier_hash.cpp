#include "verifier_hash.h"

#include <sodium.h>

namespace vellumo::syncd {

PwhashLimits PwhashLimits::Moderate() noexcept {
  return {crypto_pwhash_OPSLIMIT_MODERATE, crypto_pwhash_MEMLIMIT_MODERATE};
}

PwhashLimits PwhashLimits::Interactive() noexcept {
  return {crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE};
}

PwhashLimits PwhashLimits::Fastest() noexcept {
  return {crypto_pwhash_OPSLIMIT_MIN, crypto_pwhash_MEMLIMIT_MIN};
}

bool InitCrypto() noexcept { return sodium_init() >= 0; }

std::optional<std::string> HashVerifier(const sync::SyncVerifierValue& verifier, const PwhashLimits& limits) {
  char out[crypto_pwhash_STRBYTES];
  if (crypto_pwhash_str_alg(out, reinterpret_cast<const char*>(verifier.data()), verifier.size(), limits.opsLimit,
                            limits.memLimit, crypto_pwhash_ALG_ARGON2ID13) != 0) {
    return std::nullopt;
  }
  return std::string(out);
}

bool VerifierMatches(const std::string& stored, const sync::SyncVerifierValue& verifier) noexcept {
  return crypto_pwhash_str_verify(stored.c_str(), reinterpret_cast<const char*>(verifier.data()),
                                  verifier.size()) == 0;
}

}  // namespace vellumo::syncd
