#pragma once
// Random bytes for keys, IVs and nonces come from the operating system's
// cryptographic generator only, never from rand().
#include <cstddef>
#include <cstdint>
#include <span>

namespace vellumo::platform {

// Fills the whole span; false only when the system generator failed, in
// which case the span is zeroed and must not be used as a secret.
[[nodiscard]] bool FillSecureRandom(std::span<std::uint8_t> out) noexcept;

// Overwrites memory in a way the optimiser may not remove.
void SecureWipe(void* data, std::size_t sizeBytes) noexcept;

}  // namespace vellumo::platform
