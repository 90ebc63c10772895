#include "rate_limiter.h"

namespace vellumo::syncd {

void RateLimiter::Expire(std::deque<Clock::time_point>& times, Clock::time_point now) const {
  while (!times.empty() && now - times.front() >= limit_.window) times.pop_front();
}

bool RateLimiter::Blocked(const std::string& key, Clock::time_point now) {
  if (limit_.maxFailures == 0) return false;
  std::lock_guard lock(mutex_);
  const auto it = failures_.find(key);
  if (it == failures_.end()) return false;
  Expire(it->second, now);
  if (it->second.empty()) {
    failures_.erase(it);
    return false;
  }
  return it->second.size() >= limit_.maxFailures;
}

void RateLimiter::RecordFailure(const std::string& key, Clock::time_point now) {
  if (limit_.maxFailures == 0) return;
  std::lock_guard lock(mutex_);
  if (failures_.size() >= kMaxKeys && failures_.find(key) == failures_.end()) Prune(now);
  auto& times = failures_[key];
  Expire(times, now);
  times.push_back(now);
  // Only the newest maxFailures matter for the decision.
  while (times.size() > limit_.maxFailures) times.pop_front();
}

void RateLimiter::Prune(Clock::time_point now) {
  for (auto it = failures_.begin(); it != failures_.end();) {
    Expire(it->second, now);
    it = it->second.empty() ? failures_.erase(it) : std::next(it);
  }
  if (failures_.size() < kMaxKeys) return;
  auto it = failures_.begin();
  for (std::size_t i = failures_.size() / 2; i > 0; --i) it = failures_.erase(it);
}

}  // namespace vellumo::syncd
