#include "shell/hotkey_table.h"

#include <array>
#include <cstdio>

#include "model/notes.h"
#include "model/records.h"
#include "platform/bytes.h"

namespace vellumo::shell {

namespace {

struct Collect {
  std::vector<NoteHotkey> found;
};

int CollectHotkey(const std::uint8_t* key, std::uint32_t length, const std::uint8_t* valueHeader, void* context,
                  Ku& database) {
  auto& collect = *static_cast<Collect*>(context);
  if (length != 6 || key[0] != model::kNoteKind || key[5] != model::note_field::kHotkey) return 1;
  const ScannedValue value(valueHeader, database);
  std::array<std::uint8_t, 4> bytes{};
  if (value.Length() == 0 || value.Length() > bytes.size()) return 1;
  if (value.Read(std::span(bytes.data(), value.Length())) != 0) return 1;
  const std::uint32_t hotkey = LoadU32LE(bytes.data());
  if (hotkey != 0) collect.found.push_back({LoadU32LE(key + 1), hotkey});
  return 1;
}

}  // namespace

std::optional<HotkeyRegistration> ToRegistration(std::uint32_t value) {
  const std::uint32_t key = value & 0xFF;
  if (key == 0) return std::nullopt;
  const std::uint32_t flags = (value >> 8) & 0xFF;
  HotkeyRegistration r{0, key};
  if (flags & kHotkeyShift) r.modifiers |= kModShift;
  if (flags & kHotkeyControl) r.modifiers |= kModControl;
  if (flags & kHotkeyAlt) r.modifiers |= kModAlt;
  return r;
}

std::u16string HotkeyModifierText(std::uint32_t value) {
  const std::uint32_t flags = (value >> 8) & 0xFF;
  std::u16string text;
  if (flags & kHotkeyControl) text += u"Ctrl + ";
  if (flags & kHotkeyAlt) text += u"Alt + ";
  if (flags & kHotkeyShift) text += u"Shift + ";
  return text;
}

std::u16string UnnamedKeyText(std::uint32_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(value & 0xFF));
  return std::u16string(text, text + std::char_traits<char>::length(text));
}

std::optional<std::uint32_t> ManagementHotkey(Ku& db, int which) {
  const auto key = record_keys::ManagementHotkeyKey(static_cast<std::uint8_t>(which));
  std::array<std::uint8_t, 4> bytes{};
  std::uint32_t length = bytes.size();
  if (db.Get(key, bytes.data(), &length) != 0 || length != bytes.size()) return std::nullopt;
  return LoadU32LE(bytes.data());
}

HotkeyExchange ExchangeManagementHotkey(Ku& db, int which, std::uint32_t value) {
  const auto key = record_keys::ManagementHotkeyKey(static_cast<std::uint8_t>(which));
  std::array<std::uint8_t, 4> bytes{};
  StoreU32LE(bytes.data(), value);
  std::array<std::uint8_t, 64> old{};
  std::uint32_t oldLength = old.size();
  HotkeyExchange result;
  result.stored = db.Exchange(key, bytes.data(), bytes.size(), old.data(), &oldLength) == 0;
  if (result.stored && oldLength == 4) result.previous = LoadU32LE(old.data());
  return result;
}

std::vector<NoteHotkey> NoteHotkeys(Ku& db) {
  Collect collect;
  // Only the first byte is held to the start key: every note's records.
  db.Scan(std::array<std::uint8_t, 1>{model::kNoteKind}, 2, 6, &CollectHotkey, &collect);
  return collect.found;
}

}  // namespace vellumo::shell
