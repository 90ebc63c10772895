#pragma once
// Wipes a secret buffer when the scope ends, whichever way it ends.  The
// buffer is taken where it is when the guard is made: it must neither move
// nor grow while guarded (a vector or string is given its final size first).
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <ranges>
#include <span>
#include <type_traits>

#include "platform/secure_random.h"

namespace vellumo::protect {

class WipeGuard {
 public:
  explicit WipeGuard(std::span<std::uint8_t> secret) noexcept : data_(secret.data()), sizeBytes_(secret.size()) {}
  // Any other contiguous buffer of plain values: arrays of words, strings.
  template <std::ranges::contiguous_range Buffer>
    requires std::is_trivially_copyable_v<std::ranges::range_value_t<Buffer>> &&
             (!std::is_const_v<std::remove_reference_t<std::ranges::range_reference_t<Buffer>>>)
  explicit WipeGuard(Buffer& secret) noexcept
      : data_(std::ranges::data(secret)),
        sizeBytes_(std::ranges::size(secret) * sizeof(std::ranges::range_value_t<Buffer>)) {}
  ~WipeGuard() { platform::SecureWipe(data_, sizeBytes_); }
  WipeGuard(const WipeGuard&) = delete;
  WipeGuard& operator=(const WipeGuard&) = delete;

 private:
  void* data_;
  std::size_t sizeBytes_;
};

}  // namespace vellumo::protect
