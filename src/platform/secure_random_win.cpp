#include <windows.h>
#include <bcrypt.h>

#include <cstring>

#include "platform/secure_random.h"

namespace vellumo::platform {

bool FillSecureRandom(std::span<std::uint8_t> out) noexcept {
  std::size_t done = 0;
  while (done < out.size()) {
    const std::size_t chunk = out.size() - done > 0x10000000 ? 0x10000000 : out.size() - done;
    if (::BCryptGenRandom(nullptr, out.data() + done, static_cast<ULONG>(chunk),
                          BCRYPT_USE_SYSTEM_PREFERRED_RNG) != 0) {
      std::memset(out.data(), 0, out.size());
      return false;
    }
    done += chunk;
  }
  return true;
}

void SecureWipe(void* data, std::size_t sizeBytes) noexcept { ::SecureZeroMemory(data, sizeBytes); }

}  // namespace vellumo::platform
