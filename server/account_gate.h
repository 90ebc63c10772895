#pragma once
// Decides a Register: creates the account of an unknown sync ID, checks the
// verifier of a known one, and applies the wrong-verifier rate limit.
//
// The Argon2id check is deliberately slow, and every client reconnects and
// registers all its notes again after a network hiccup, so a verifier that
// matched once is remembered in memory as a keyed hash (a per-process random
// key, so the memory holds nothing a thief could replay).  Later
// registrations compare against that and skip the slow hash.  The cache
// holds nothing that is stored.
#include <array>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <unordered_map>

#include "rate_limiter.h"
#include "store.h"
#include "verifier_hash.h"

namespace vellumo::syncd {

struct RegisterOutcome {
  std::uint16_t status = 0;  // 0 accepted, otherwise the Register status to send
  AccountId account = 0;
  bool created = false;
};

class AccountGate {
 public:
  static constexpr std::size_t kMaxCached = 200000;

  // creationLimit: new accounts one address may create per window (each
  // costs a deliberately slow hash); beyond it, status 3 (try later).
  AccountGate(Store& store, PwhashLimits limits, RateLimit rateLimit,
              RateLimit creationLimit = {60, std::chrono::seconds(3600)});

  // address is the peer's IP address as text.  Throws StoreFailure.
  [[nodiscard]] RegisterOutcome Register(std::span<const std::uint8_t> syncId,
                                         const sync::SyncVerifierValue& verifier, const std::string& address,
                                         RateLimiter::Clock::time_point now);

 private:
  using Tag = std::array<std::uint8_t, 32>;
  struct Cached {
    AccountId account = 0;
    Tag tag{};
  };

  Tag TagOf(std::span<const std::uint8_t> syncId, const sync::SyncVerifierValue& verifier) const;
  void Remember(std::span<const std::uint8_t> syncId, AccountId account, const Tag& tag);

  Store& store_;
  PwhashLimits limits_;
  RateLimiter limiter_;
  RateLimiter creations_;
  std::array<std::uint8_t, 32> cacheKey_{};
  std::mutex cacheMutex_;
  std::unordered_map<std::string, Cached> cache_;
};

}  // namespace vellumo::syncd
