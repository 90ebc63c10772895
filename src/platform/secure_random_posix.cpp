#include <sys/random.h>

#include <cerrno>
#include <cstring>

#include "platform/secure_random.h"

namespace vellumo::platform {

bool FillSecureRandom(std::span<std::uint8_t> out) noexcept {
  std::size_t done = 0;
  while (done < out.size()) {
    ssize_t n = ::getrandom(out.data() + done, out.size() - done, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      std::memset(out.data(), 0, out.size());
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

void SecureWipe(void* data, std::size_t sizeBytes) noexcept {
  // The barrier names the buffer and clobbers memory, so the compiler must
  // assume the zeros are read and cannot drop the memset; a volatile byte
  // loop would do the same at a fraction of the speed.
  if (sizeBytes == 0) return;  // data may then be null, which memset may not see
  std::memset(data, 0, sizeBytes);
  __asm__ __volatile__("" : : "r"(data) : "memory");
}

}  // namespace vellumo::platform
