#pragma once
// Wipes a secret buffer when the scope ends, whichever way it ends.
#include <cstdint>
#include <span>

#include "platform/secure_random.h"

namespace vellumo::protect {

class WipeGuard {
 public:
  explicit WipeGuard(std::span<std::uint8_t> secret) noexcept : secret_(secret) {}
  ~WipeGuard() { platform::SecureWipe(secret_.data(), secret_.size()); }
  WipeGuard(const WipeGuard&) = delete;
  WipeGuard& operator=(const WipeGuard&) = delete;

 private:
  std::span<std::uint8_t> secret_;
};

}  // namespace vellumo::protect
