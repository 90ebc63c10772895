#pragma once
// The keyboard as the typing actions drive it: synthesized input that goes
// to whatever program has the keyboard focus, and the few key states the
// queue reads.  Interface thread only.
#include <cstdint>

#include "actions/key_player.h"

namespace vellumo::actions {

// Key presses and character events through SendInput.  Characters typed as
// key presses go through the keyboard layout of the program in front, so a
// German or French layout gets the keys that make the character there; a
// character the layout has no key for is sent as a character event.
class SendInputKeySink final : public KeySink {
 public:
  void SendUnicodeChar(char16_t unit) override;
  void TypeKeyForChar(char16_t unit) override;
  void PressKey(std::uint8_t vk) override;
  void KeyDown(std::uint8_t vk) override;
  void KeyUp(std::uint8_t vk) override;
  void Pause(std::uint32_t pauseMs) override;
};

// Ctrl down, the key down and up, Ctrl up: one SendInput call.
void SendCtrlChord(std::uint8_t vk);
// Escape is down now or was pressed since the last call.
bool EscapeWasPressed();
// Ctrl, Alt, Shift or either Win key is down.
bool UserModifiersDown();
bool CtrlDown();

}  // namespace vellumo::actions
