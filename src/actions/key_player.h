#pragma once
// Key-sequence player: types "<a>"/"<A>"/"<k>"/"<K>" texts into the focused
// program, one unit or one token per 40 ms tick.  This part only decides
// what each tick does and reports it to a KeySink; the Win32 layer turns the
// calls into SendInput / keybd_event and Sleep, and checks Escape.
//
// One tick takes, from the front of what is left:
//   - a unit above U+00FF: a character event in either mode (an input
//     method would alter a key press); a surrogate pair goes in one tick so
//     that another sequence typing at the same time cannot split it;
//   - CR LF: one Enter press;
//   - "<" x y ">" when x y form a token (key_tokens.h): the token;
//   - Tab or CR: a Tab or Enter press, in either mode;
//   - anything else: a character event (TypingMode::Chars) or the key press
//     that produces the character (TypingMode::Keys).
// Units of a text that is no token, "<" included, are typed one per tick.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace vellumo::actions {

// Chars: "<a>"/"<k>", queued as TypeChars.  Keys: "<A>"/"<K>", TypeKeys.
enum class TypingMode : std::uint8_t { Chars, Keys };

// What a tick does outside the program.  Virtual keys are Win32 VK_ codes.
class KeySink {
 public:
  virtual ~KeySink() = default;
  // One Unicode character event for the unit (a lone surrogate included).
  virtual void SendUnicodeChar(char16_t unit) = 0;
  // Press and release the key that produces the character (0x00..0xFF),
  // with Shift held if the layout needs it.
  virtual void TypeKeyForChar(char16_t unit) = 0;
  virtual void PressKey(std::uint8_t vk) = 0;  // down then up
  virtual void KeyDown(std::uint8_t vk) = 0;
  virtual void KeyUp(std::uint8_t vk) = 0;
  // Blocks the tick: the caller stands still for the whole pause.
  virtual void Pause(std::uint32_t pauseMs) = 0;
};

// Modifiers a sequence has put down with "<cd>", "<ad>", "<sd>" or "<wd>"
// and not yet put up.  Kept so that a sequence that ends or is stopped
// never leaves a modifier held in the system for the user's next keys.
struct HeldKeys {
  std::uint8_t mask = 0;
};

// A tick looks at no more than the unit it types and the three after it.
inline constexpr std::size_t kKeyStepWindow = 4;

// One tick: types from the front of `ahead` (the next units in typing order,
// at most kKeyStepWindow of them are looked at) and returns how many units
// it took: 1, 2 (CR LF, a surrogate pair) or 4 (a token); 0 only when
// `ahead` is empty.
[[nodiscard]] std::size_t PlayKeyStep(TypingMode mode, std::span<const char16_t> ahead, HeldKeys& held,
                                      KeySink& sink);

// Puts up every modifier still held, Win, Shift, Alt, Ctrl in that order.
void ReleaseHeldKeys(HeldKeys& held, KeySink& sink);

// A queued sequence, one per TypeChars/TypeKeys action.  Each tick its
// action asks the platform whether Escape is down and then calls Stop, or
// else Step; every typing action checks on its own step, so all stop on the
// same tick.  It is never held as plain text: the UTF-16LE bytes are
// kept in reverse order with each byte offset by a constant, so unit i of n
// sits big-endian at unit position n - 1 - i and the next unit to type is
// always the one at position Remaining() - 1.  A tick unmasks only the
// units it looks at and wipes them again.
class KeySequencePlayer {
 public:
  KeySequencePlayer(TypingMode mode, std::u16string_view sequence);
  ~KeySequencePlayer();
  // A moved-from player is finished; the one assigned over is wiped first.
  KeySequencePlayer(KeySequencePlayer&& other) noexcept;
  KeySequencePlayer& operator=(KeySequencePlayer&& other) noexcept;
  KeySequencePlayer(const KeySequencePlayer&) = delete;
  KeySequencePlayer& operator=(const KeySequencePlayer&) = delete;

  // One tick.  Returns the units still to type; 0 = finished, and then the
  // modifiers the sequence left down have been put up.
  [[nodiscard]] std::size_t Step(KeySink& sink);
  // Escape: the rest is dropped and held modifiers are put up.
  void Stop(KeySink& sink);

  std::size_t Remaining() const noexcept { return remaining_; }
  TypingMode Mode() const noexcept { return mode_; }
  // The bytes the player keeps of the sequence, for checking the masking.
  std::span<const std::uint8_t> StoredBytes() const noexcept { return masked_; }

 private:
  char16_t UnitAt(std::size_t position) const noexcept;

  TypingMode mode_;
  std::vector<std::uint8_t> masked_;
  std::size_t remaining_ = 0;
  HeldKeys held_;
};

}  // namespace vellumo::actions
