#include "shell/global_hotkeys.h"

#include <optional>

#include "shell/hotkey_table.h"

namespace vellumo::shell {

namespace {

bool Register(HWND window, int id, std::uint32_t value) {
  const std::optional<HotkeyRegistration> r = ToRegistration(value);
  return r && ::RegisterHotKey(window, id, r->modifiers, r->key);
}

std::wstring Wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

}  // namespace

std::wstring HotkeyText(std::uint32_t value) {
  std::wstring text = Wide(HotkeyModifierText(value));
  const UINT scan = ::MapVirtualKeyW(value & 0xFF, MAPVK_VK_TO_VSC);
  LONG parameter = static_cast<LONG>(scan << 16);
  if ((value >> 8) & kHotkeyExtended) parameter |= 1 << 24;
  wchar_t name[256] = {};
  if (::GetKeyNameTextW(parameter, name, 256) > 0) {
    text += name;
  } else {
    text += Wide(UnnamedKeyText(value));
  }
  if (text.size() > kHotkeyTextUnits - 1) text.resize(kHotkeyTextUnits - 1);
  return text;
}

std::wstring GlobalHotkeys::RegisterManagementHotkeys(HWND window, Ku& db) {
  std::wstring report;
  for (int which = 1; which <= kManagementHotkeyCount; ++which) {
    const std::optional<std::uint32_t> value = ManagementHotkey(db, which);
    if (!value || !ToRegistration(*value)) continue;
    if (Register(window, ManagementHotkeyId(which), *value)) continue;
    report += HotkeyText(*value) + Wide(kHotkeyFailedLine);
  }
  if (report.size() > kHotkeyReportUnits - 1) report.resize(kHotkeyReportUnits - 1);
  return report;
}

bool GlobalHotkeys::TakenByManagement(Ku& db, std::uint32_t value) const {
  const std::optional<HotkeyRegistration> mine = ToRegistration(value);
  for (int which = 1; which <= kManagementHotkeyCount; ++which) {
    const std::optional<std::uint32_t> management = ManagementHotkey(db, which);
    if (management && ToRegistration(*management) == mine) return true;
  }
  return false;
}

void GlobalHotkeys::SetNoteHotkeys(HWND window, Ku& db, bool registered) {
  for (const NoteHotkey& hotkey : NoteHotkeys(db)) {
    const int id = static_cast<int>(hotkey.note);
    if (!registered) {
      ::UnregisterHotKey(window, id);
    } else if (!TakenByManagement(db, hotkey.value)) {
      (void)Register(window, id, hotkey.value);
    }
  }
}

void GlobalHotkeys::ToggleNoteHotkeys(HWND window, Ku& db) {
  SetNoteHotkeys(window, db, noteHotkeysPaused_);
  noteHotkeysPaused_ = !noteHotkeysPaused_;
}

bool GlobalHotkeys::ChangeManagementHotkey(HWND window, Ku& db, int which, std::uint32_t value) {
  const HotkeyExchange exchange = ExchangeManagementHotkey(db, which, value);
  if (exchange.previous && *exchange.previous != 0) ::UnregisterHotKey(window, ManagementHotkeyId(which));
  if (!ToRegistration(value)) return true;
  return Register(window, ManagementHotkeyId(which), value);
}

bool GlobalHotkeys::ChangeNoteHotkey(HWND window, Ku& db, std::uint32_t note, std::uint32_t value) {
  const int id = static_cast<int>(note);
  ::UnregisterHotKey(window, id);
  if (noteHotkeysPaused_ || !ToRegistration(value)) return true;
  return !TakenByManagement(db, value) && Register(window, id, value);
}

}  // namespace vellumo::shell
