#include "protect/engine_choice.h"

#include <atomic>

namespace vellumo::protect {
namespace {

std::atomic<bool> forced{false};

}  // namespace

void ForcePortableEngines(bool force) noexcept { forced.store(force, std::memory_order_relaxed); }

bool PortableEnginesForced() noexcept { return forced.load(std::memory_order_relaxed); }

}  // namespace vellumo::protect
