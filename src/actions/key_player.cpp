#include "actions/key_player.h"

#include <algorithm>
#include <array>
#include <utility>

#include "actions/key_tokens.h"
#include "platform/secure_random.h"

namespace vellumo::actions {
namespace {

constexpr char16_t kTab = u'\t';
constexpr char16_t kCr = u'\r';
constexpr char16_t kLf = u'\n';

// Any non-zero offset will do; it only keeps the text from lying in memory
// as it was typed.
constexpr std::uint8_t kMaskOffset = 0x5B;

struct Modifier {
  std::uint8_t bit;
  std::uint8_t vk;
};
// Release order of ReleaseHeldKeys.
constexpr std::array<Modifier, 4> kModifiers = {{
    {0x08, kVkLWin},
    {0x04, kVkShift},
    {0x02, kVkMenu},
    {0x01, kVkControl},
}};

std::uint8_t ModifierBit(std::uint32_t vk) noexcept {
  for (const Modifier& m : kModifiers) {
    if (m.vk == vk) return m.bit;
  }
  return 0;
}

bool IsHighSurrogate(char16_t u) noexcept { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char16_t u) noexcept { return u >= 0xDC00 && u <= 0xDFFF; }

void PlayToken(const KeyToken& token, HeldKeys& held, KeySink& sink) {
  const auto vk = static_cast<std::uint8_t>(token.value);
  switch (token.kind) {
    case KeyTokenKind::Placeholder:
      break;
    case KeyTokenKind::Pause:
      sink.Pause(token.value);
      break;
    case KeyTokenKind::KeyDown:
      sink.KeyDown(vk);
      held.mask = static_cast<std::uint8_t>(held.mask | ModifierBit(vk));
      break;
    case KeyTokenKind::KeyUp:
      sink.KeyUp(vk);
      held.mask = static_cast<std::uint8_t>(held.mask & ~ModifierBit(vk));
      break;
    case KeyTokenKind::PressKey:
      sink.PressKey(vk);
      break;
  }
}

}  // namespace

std::size_t PlayKeyStep(TypingMode mode, std::span<const char16_t> ahead, HeldKeys& held, KeySink& sink) {
  if (ahead.empty()) return 0;
  const char16_t u = ahead[0];

  if (u > 0x00FF) {
    sink.SendUnicodeChar(u);
    if (IsHighSurrogate(u) && ahead.size() >= 2 && IsLowSurrogate(ahead[1])) {
      sink.SendUnicodeChar(ahead[1]);
      return 2;
    }
    return 1;
  }

  if (u == kCr && ahead.size() >= 2 && ahead[1] == kLf) {
    sink.PressKey(kVkReturn);
    return 2;
  }

  if (u == u'<' && ahead.size() >= kKeyTokenUnits && ahead[3] == u'>') {
    if (const auto token = ParseKeyToken(ahead[1], ahead[2])) {
      PlayToken(*token, held, sink);
      return kKeyTokenUnits;
    }
  }

  if (u == kTab) {
    sink.PressKey(kVkTab);
  } else if (u == kCr) {
    sink.PressKey(kVkReturn);
  } else if (mode == TypingMode::Chars) {
    sink.SendUnicodeChar(u);
  } else {
    sink.TypeKeyForChar(u);
  }
  return 1;
}

void ReleaseHeldKeys(HeldKeys& held, KeySink& sink) {
  for (const Modifier& m : kModifiers) {
    if (held.mask & m.bit) sink.KeyUp(m.vk);
  }
  held.mask = 0;
}

KeySequencePlayer::KeySequencePlayer(TypingMode mode, std::u16string_view sequence)
    : mode_(mode), masked_(sequence.size() * 2), remaining_(sequence.size()) {
  // Unit i goes to position n - 1 - i, high byte first: the byte-reversed
  // form of its UTF-16LE bytes.
  const std::size_t n = sequence.size();
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t at = 2 * (n - 1 - i);
    masked_[at] = static_cast<std::uint8_t>((sequence[i] >> 8) + kMaskOffset);
    masked_[at + 1] = static_cast<std::uint8_t>((sequence[i] & 0xFF) + kMaskOffset);
  }
}

KeySequencePlayer::~KeySequencePlayer() { platform::SecureWipe(masked_.data(), masked_.size()); }

KeySequencePlayer::KeySequencePlayer(KeySequencePlayer&& other) noexcept
    : mode_(other.mode_),
      masked_(std::move(other.masked_)),
      remaining_(std::exchange(other.remaining_, 0)),
      held_(std::exchange(other.held_, HeldKeys{})) {
  other.masked_.clear();
}

KeySequencePlayer& KeySequencePlayer::operator=(KeySequencePlayer&& other) noexcept {
  if (this != &other) {
    platform::SecureWipe(masked_.data(), masked_.size());
    mode_ = other.mode_;
    masked_ = std::move(other.masked_);
    other.masked_.clear();
    remaining_ = std::exchange(other.remaining_, 0);
    held_ = std::exchange(other.held_, HeldKeys{});
  }
  return *this;
}

char16_t KeySequencePlayer::UnitAt(std::size_t position) const noexcept {
  const auto high = static_cast<std::uint8_t>(masked_[2 * position] - kMaskOffset);
  const auto low = static_cast<std::uint8_t>(masked_[2 * position + 1] - kMaskOffset);
  return static_cast<char16_t>(high << 8 | low);
}

std::size_t KeySequencePlayer::Step(KeySink& sink) {
  if (remaining_ == 0) return 0;
  std::array<char16_t, kKeyStepWindow> ahead{};
  const std::size_t count = std::min(remaining_, ahead.size());
  for (std::size_t k = 0; k < count; ++k) ahead[k] = UnitAt(remaining_ - 1 - k);
  const std::size_t taken = PlayKeyStep(mode_, std::span<const char16_t>(ahead.data(), count), held_, sink);
  platform::SecureWipe(ahead.data(), sizeof ahead);
  remaining_ -= taken;
  if (remaining_ == 0) ReleaseHeldKeys(held_, sink);
  return remaining_;
}

void KeySequencePlayer::Stop(KeySink& sink) {
  platform::SecureWipe(masked_.data(), masked_.size());
  masked_.clear();
  remaining_ = 0;
  ReleaseHeldKeys(held_, sink);
}

}  // namespace vellumo::actions
