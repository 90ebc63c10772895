#include "account_gate.h"

#include <sodium.h>

#include "sync/frames.h"

namespace vellumo::syncd {

namespace {

std::string KeyOf(std::span<const std::uint8_t> syncId) { return std::string(syncId.begin(), syncId.end()); }

}  // namespace

AccountGate::AccountGate(Store& store, PwhashLimits limits, RateLimit rateLimit, RateLimit creationLimit)
    : store_(store), limits_(limits), limiter_(rateLimit), creations_(creationLimit) {
  randombytes_buf(cacheKey_.data(), cacheKey_.size());
}

AccountGate::Tag AccountGate::TagOf(std::span<const std::uint8_t> syncId,
                                    const sync::SyncVerifierValue& verifier) const {
  Tag tag{};
  crypto_generichash_state state;
  crypto_generichash_init(&state, cacheKey_.data(), cacheKey_.size(), tag.size());
  crypto_generichash_update(&state, syncId.data(), syncId.size());
  crypto_generichash_update(&state, verifier.data(), verifier.size());
  crypto_generichash_final(&state, tag.data(), tag.size());
  return tag;
}

void AccountGate::Remember(std::span<const std::uint8_t> syncId, AccountId account, const Tag& tag) {
  std::lock_guard lock(cacheMutex_);
  if (cache_.size() >= kMaxCached) cache_.clear();
  cache_[KeyOf(syncId)] = Cached{account, tag};
}

RegisterOutcome AccountGate::Register(std::span<const std::uint8_t> syncId, const sync::SyncVerifierValue& verifier,
                                      const std::string& address, RateLimiter::Clock::time_point now) {
  std::string limitKey = address;
  limitKey.push_back('\0');
  limitKey += KeyOf(syncId);
  if (limiter_.Blocked(limitKey, now)) return {sync::kSyncErrorTooManyAttempts, 0, false};

  const Tag tag = TagOf(syncId, verifier);
  {
    std::lock_guard lock(cacheMutex_);
    const auto it = cache_.find(KeyOf(syncId));
    if (it != cache_.end()) {
      if (sodium_memcmp(it->second.tag.data(), tag.data(), tag.size()) == 0) return {0, it->second.account, false};
      // A known sync ID's stored hash never changes, so a different tag is a
      // wrong verifier without asking the store.
      limiter_.RecordFailure(limitKey, now);
      return {sync::kSyncErrorIdOrPassword, 0, false};
    }
  }

  for (int attempt = 0; attempt < 2; ++attempt) {
    if (const auto found = store_.FindAccount(syncId)) {
      if (!VerifierMatches(found->verifierHash, verifier)) {
        limiter_.RecordFailure(limitKey, now);
        return {sync::kSyncErrorIdOrPassword, 0, false};
      }
      Remember(syncId, found->id, tag);
      return {0, found->id, false};
    }
    if (creations_.Blocked(address, now)) return {sync::kSyncErrorServerBusy, 0, false};
    const auto hashed = HashVerifier(verifier, limits_);
    if (!hashed) return {sync::kSyncErrorServerUnknown, 0, false};
    if (const auto created = store_.CreateAccount(syncId, *hashed)) {
      creations_.RecordFailure(address, now);
      Remember(syncId, *created, tag);
      return {0, *created, true};
    }
    // Another connection created it meanwhile: check against that one.
  }
  return {sync::kSyncErrorServerUnknown, 0, false};
}

}  // namespace vellumo::syncd
