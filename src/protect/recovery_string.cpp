#include "protect/recovery_string.h"

namespace vellumo::protect {

RecoveryRequest ClassifyRecoveryText(std::string_view text) noexcept {
  if (text == kRecoveryClearWord) return RecoveryRequest::kClear;
  if (text.starts_with(kRecoveryNewWord)) {
    const std::size_t rest = text.size() - kRecoveryNewWord.size();
    if (rest == 0) return RecoveryRequest::kNewRandom;
    return rest == kRecoveryDigits ? RecoveryRequest::kNewGiven : RecoveryRequest::kNewWrongLength;
  }
  return text.size() == kRecoveryDigits ? RecoveryRequest::kGiven : RecoveryRequest::kWrongLength;
}

std::string_view RecoveryDigitsOf(std::string_view text) noexcept {
  switch (ClassifyRecoveryText(text)) {
    case RecoveryRequest::kNewGiven:
      return text.substr(kRecoveryNewWord.size());
    case RecoveryRequest::kGiven:
      return text;
    default:
      return {};
  }
}

std::string FormatRecoveryString(const ContentKey& key) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(kRecoveryDigits);
  for (const std::uint8_t byte : key) {
    text.push_back(kDigits[byte >> 4]);
    text.push_back(kDigits[byte & 0x0F]);
  }
  return text;
}

bool AreRecoveryDigits(std::string_view digits) noexcept {
  if (digits.size() != kRecoveryDigits) return false;
  for (const char c : digits)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

void DecodeRecoveryDigits(std::string_view digits, ContentKey& out) noexcept {
  out.fill(0);
  if (digits.size() != kRecoveryDigits) return;
  auto value = [](char c) {
    const int code = static_cast<signed char>(c);
    return static_cast<unsigned>(code > '9' ? code - 87 : code - 48);
  };
  for (std::size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<std::uint8_t>(((value(digits[2 * i]) << 4) | value(digits[2 * i + 1])) & 0xFF);
}

}  // namespace vellumo::protect
