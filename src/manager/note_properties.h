#pragma once
// The rules of the note properties page: the trigger check boxes as bits,
// and the sync password rule.
#include <array>
#include <cstdint>
#include <string_view>

namespace vellumo::manager {

// Check box 1023 + i stands for trigger bit i.
inline constexpr int kFirstTriggerBox = 1023;
inline constexpr int kTriggerBoxes = 16;

[[nodiscard]] std::uint32_t TriggersFromBoxes(const std::array<bool, kTriggerBoxes>& checked);
[[nodiscard]] std::array<bool, kTriggerBoxes> BoxesFromTriggers(std::uint32_t triggers);

// 8 to 64 units with at least one outside 0-9, a-z, A-Z (a symbol or a
// Chinese character).
[[nodiscard]] bool SyncPasswordAcceptable(std::u16string_view password);

}  // namespace vellumo::manager
