#pragma once
// Counts wrong verifiers per (address, sync ID) in a sliding window.  Once
// the count reaches the limit, registrations of that sync ID from that
// address are refused without checking until the oldest failure ages out,
// so a guesser gets a handful of tries per window and per address.
//
// Memory is bounded: past kMaxKeys tracked pairs the expired ones are
// dropped, and if that is not enough the oldest-keyed half goes too (an
// attacker churning addresses then loses history, not the server memory).
#include <chrono>
#include <cstddef>
#include <deque>
#include <map>
#include <mutex>
#include <string>

namespace vellumo::syncd {

struct RateLimit {
  std::size_t maxFailures = 5;
  std::chrono::seconds window{300};
};

class RateLimiter {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::size_t kMaxKeys = 100000;

  explicit RateLimiter(RateLimit limit) : limit_(limit) {}

  [[nodiscard]] bool Blocked(const std::string& key, Clock::time_point now);
  // Counts one event (a wrong verifier, or whatever else is limited).
  void RecordFailure(const std::string& key, Clock::time_point now);

 private:
  void Expire(std::deque<Clock::time_point>& times, Clock::time_point now) const;
  void Prune(Clock::time_point now);

  RateLimit limit_;
  std::mutex mutex_;
  std::map<std::string, std::deque<Clock::time_point>> failures_;
};

}  // namespace vellumo::syncd
