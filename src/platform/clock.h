#pragma once
#include <cstdint>

namespace vellumo::platform {

// Milliseconds since an arbitrary start, wrapping like GetTickCount.
std::uint32_t TickCountMs() noexcept;

}  // namespace vellumo::platform
