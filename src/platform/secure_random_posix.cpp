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
  volatile auto* p = static_cast<volatile unsigned char*>(data);
  for (std::size_t i = 0; i < sizeBytes; ++i) p[i] = 0;
  __asm__ __volatile__("" : : "r"(data) : "memory");
}

}  // namespace vellumo::platform
