#include <windows.h>

#include <array>

#include "actions/keyboard_input.h"

namespace vellumo::actions {

namespace {

INPUT KeyInput(WORD vk, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = vk;
  input.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  return input;
}

template <std::size_t N>
void Send(std::array<INPUT, N>& inputs, UINT count = N) {
  ::SendInput(count, inputs.data(), sizeof(INPUT));
}

bool Down(int vk) { return (::GetAsyncKeyState(vk) & 0x8000) != 0; }

// The layout of the thread that owns the window in front: that is the
// program the keys go to, and its layout may differ from this program's.
HKL ForegroundLayout() {
  const HWND front = ::GetForegroundWindow();
  const DWORD thread = front ? ::GetWindowThreadProcessId(front, nullptr) : 0;
  return ::GetKeyboardLayout(thread);
}

}  // namespace

void SendInputKeySink::SendUnicodeChar(char16_t unit) {
  std::array<INPUT, 2> inputs{};
  for (std::size_t i = 0; i < 2; ++i) {
    inputs[i].type = INPUT_KEYBOARD;
    inputs[i].ki.wScan = static_cast<WORD>(unit);
    inputs[i].ki.dwFlags = KEYEVENTF_UNICODE | (i == 1 ? KEYEVENTF_KEYUP : 0);
  }
  Send(inputs);
}

void SendInputKeySink::TypeKeyForChar(char16_t unit) {
  const SHORT scan = ::VkKeyScanExW(static_cast<WCHAR>(unit), ForegroundLayout());
  if (scan == -1) {
    SendUnicodeChar(unit);
    return;
  }
  const auto vk = static_cast<WORD>(scan & 0xFF);
  const unsigned shiftState = static_cast<unsigned>(scan >> 8) & 0xFF;
  // The modifiers the layout needs for the character (Ctrl + Alt is AltGr),
  // pressed around the key and put up in reverse order.
  std::array<WORD, 3> modifiers{};
  UINT count = 0;
  if (shiftState & 1) modifiers[count++] = VK_SHIFT;
  if (shiftState & 2) modifiers[count++] = VK_CONTROL;
  if (shiftState & 4) modifiers[count++] = VK_MENU;
  std::array<INPUT, 8> inputs{};
  UINT n = 0;
  for (UINT i = 0; i < count; ++i) inputs[n++] = KeyInput(modifiers[i], false);
  inputs[n++] = KeyInput(vk, false);
  inputs[n++] = KeyInput(vk, true);
  for (UINT i = count; i > 0; --i) inputs[n++] = KeyInput(modifiers[i - 1], true);
  Send(inputs, n);
}

void SendInputKeySink::PressKey(std::uint8_t vk) {
  std::array<INPUT, 2> inputs{KeyInput(vk, false), KeyInput(vk, true)};
  Send(inputs);
}

void SendInputKeySink::KeyDown(std::uint8_t vk) {
  std::array<INPUT, 1> inputs{KeyInput(vk, false)};
  Send(inputs);
}

void SendInputKeySink::KeyUp(std::uint8_t vk) {
  std::array<INPUT, 1> inputs{KeyInput(vk, true)};
  Send(inputs);
}

void SendInputKeySink::Pause(std::uint32_t pauseMs) { ::Sleep(pauseMs); }

void SendCtrlChord(std::uint8_t vk) {
  std::array<INPUT, 4> inputs{KeyInput(VK_CONTROL, false), KeyInput(vk, false), KeyInput(vk, true),
                              KeyInput(VK_CONTROL, true)};
  Send(inputs);
}

bool EscapeWasPressed() { return (::GetAsyncKeyState(VK_ESCAPE) & 0x8001) != 0; }

bool UserModifiersDown() {
  return Down(VK_CONTROL) || Down(VK_MENU) || Down(VK_SHIFT) || Down(VK_LWIN) || Down(VK_RWIN);
}

bool CtrlDown() { return Down(VK_CONTROL); }

}  // namespace vellumo::actions
