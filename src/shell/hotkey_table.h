#pragma once
// Global hotkeys as they are stored: the three management hotkeys of the
// configuration records and one per note, each a u32 in the form of the
// hotkey control (virtual key in bits 0-7, HOTKEYF_ flags in bits 8-15;
// 0 = none).  What RegisterHotKey takes, and the readable form used in
// messages, up to the key's own name, which only the system knows.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "store/ku.h"

namespace vellumo::shell {

inline constexpr std::uint32_t kHotkeyShift = 0x01, kHotkeyControl = 0x02, kHotkeyAlt = 0x04, kHotkeyExtended = 0x08;
// RegisterHotKey's modifier bits (MOD_ALT, MOD_CONTROL, MOD_SHIFT).
inline constexpr std::uint32_t kModAlt = 0x1, kModControl = 0x2, kModShift = 0x4;

// Hotkey ids on the main window: -1..-3 for the management hotkeys, the
// note id for a note's.
inline constexpr int kManagementHotkeyCount = 3;
inline constexpr int ManagementHotkeyId(int which) { return -which; }

struct HotkeyRegistration {
  std::uint32_t modifiers = 0;
  std::uint32_t key = 0;
  bool operator==(const HotkeyRegistration&) const = default;
};
// Nothing for a value without a key: it is never registered.  The extended
// flag only tells the key's name apart; Win is never part of a hotkey.
[[nodiscard]] std::optional<HotkeyRegistration> ToRegistration(std::uint32_t value);

// "Ctrl + Alt + Shift + " as far as the value holds them, in this order.
[[nodiscard]] std::u16string HotkeyModifierText(std::uint32_t value);
// What stands for a key the system has no name for: "0x9A".
[[nodiscard]] std::u16string UnnamedKeyText(std::uint32_t value);
inline constexpr std::size_t kHotkeyTextUnits = 100;
inline constexpr std::size_t kHotkeyReportUnits = 1024;
inline constexpr char16_t kHotkeyFailedLine[] = u" 热键注册失败!\r\n";

// The stored management hotkey 1..3; nothing when it is not stored as
// exactly four bytes.
[[nodiscard]] std::optional<std::uint32_t> ManagementHotkey(Ku& db, int which);
// Stores it and returns the value it replaces (nothing when none was stored
// as four bytes); false in `stored` when the database refused.
struct HotkeyExchange {
  bool stored = false;
  std::optional<std::uint32_t> previous;
};
[[nodiscard]] HotkeyExchange ExchangeManagementHotkey(Ku& db, int which, std::uint32_t value);

struct NoteHotkey {
  std::uint32_t note = 0;
  std::uint32_t value = 0;
  bool operator==(const NoteHotkey&) const = default;
};
// Every note whose Hotkey field holds a non-zero value, in key order.
[[nodiscard]] std::vector<NoteHotkey> NoteHotkeys(Ku& db);

}  // namespace vellumo::shell
