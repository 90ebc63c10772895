#include "manager/note_properties.h"

#include <algorithm>

namespace vellumo::manager {

std::uint32_t TriggersFromBoxes(const std::array<bool, kTriggerBoxes>& checked) {
  std::uint32_t triggers = 0;
  for (int i = 0; i < kTriggerBoxes; ++i)
    if (checked[static_cast<std::size_t>(i)]) triggers |= 1u << i;
  return triggers;
}

std::array<bool, kTriggerBoxes> BoxesFromTriggers(std::uint32_t triggers) {
  std::array<bool, kTriggerBoxes> checked{};
  for (int i = 0; i < kTriggerBoxes; ++i) checked[static_cast<std::size_t>(i)] = (triggers >> i) & 1u;
  return checked;
}

bool SyncPasswordAcceptable(std::u16string_view password) {
  if (password.size() < 8 || password.size() > 64) return false;
  return std::any_of(password.begin(), password.end(), [](char16_t c) {
    const bool alnum = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
    return !alnum;
  });
}

}  // namespace vellumo::manager
