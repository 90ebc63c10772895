#include <windows.h>

#include "platform/clock.h"

namespace vellumo::platform {

std::uint32_t TickCountMs() noexcept { return ::GetTickCount(); }

}  // namespace vellumo::platform
