#pragma once
// Record kinds and key layouts: the only place where the meaning of a key's
// bytes is fixed.  Integers in keys are little-endian u32, except the
// big-endian item id that ends an order entry so that equal titles sort by id.
//
//   [01]                          NoteIdCounter (u32)
//   [01][note][field]             NoteField
//   [01][note][10h][item]         ItemMarker (1 zero byte)
//   [01][note][16h][20 bytes]     NoteSyncDigest
//   [02][note][field][item]       ItemField (1 title, 2 content, 3 icon index, 4 icon path)
//   [03][note][title key][00][case mark][item BE]   ItemOrderEntry
//   [04][01][note] triggers, [04][02][note] (unused), [04][03][note] name
//   [06] password record, [07].. icon cache, [08][01..03] backup state,
//   [09] database identifier, [0A] server address, [0B][name] scheme,
//   [0C][01..03] management hotkeys
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/bytes.h"

namespace vellumo::model {

using Key = std::vector<std::uint8_t>;

inline constexpr std::uint8_t kNoteKind = 0x01;
inline constexpr std::uint8_t kItemFieldKind = 0x02;
inline constexpr std::uint8_t kOrderKind = 0x03;
inline constexpr std::uint8_t kNoteMetaKind = 0x04;
inline constexpr std::uint8_t kPasswordKind = 0x06;
inline constexpr std::uint8_t kIconCacheKind = 0x07;
inline constexpr std::uint8_t kBackupKind = 0x08;
inline constexpr std::uint8_t kDatabaseIdKind = 0x09;
inline constexpr std::uint8_t kServerAddressKind = 0x0A;
inline constexpr std::uint8_t kSchemeKind = 0x0B;
inline constexpr std::uint8_t kHotkeyKind = 0x0C;

inline constexpr std::uint8_t kMetaTriggers = 0x01;
inline constexpr std::uint8_t kMetaUnused = 0x02;
inline constexpr std::uint8_t kMetaName = 0x03;

inline constexpr std::uint8_t kItemMarkerField = 0x10;
inline constexpr std::uint8_t kSyncDigestField = 0x16;

inline constexpr std::uint32_t kDefaultSchemeNote = 0xFFFFFFFFu;
inline constexpr std::uint32_t kCustomColoursNote = 0;

// Longest order key: [03] + note + 10000 title bytes + [00] + mark + item.
inline constexpr std::uint32_t kMaxTitleKeyBytes = 10000;
inline constexpr std::uint32_t kMaxOrderKeyBytes = 1 + 4 + kMaxTitleKeyBytes + 1 + 1 + 4;

inline void AppendU32LE(Key& k, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) k.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
inline void AppendU32BE(Key& k, std::uint32_t v) {
  for (int i = 3; i >= 0; --i) k.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

inline Key NoteIdCounterKey() { return Key{kNoteKind}; }
inline Key NotePrefix(std::uint32_t note) {
  Key k{kNoteKind};
  AppendU32LE(k, note);
  return k;
}
inline Key NoteFieldKey(std::uint32_t note, std::uint8_t field) {
  Key k = NotePrefix(note);
  k.push_back(field);
  return k;
}
inline Key ItemMarkerKey(std::uint32_t note, std::uint32_t item) {
  Key k = NoteFieldKey(note, kItemMarkerField);
  AppendU32LE(k, item);
  return k;
}
inline Key ItemFieldPrefix(std::uint32_t note) {
  Key k{kItemFieldKind};
  AppendU32LE(k, note);
  return k;
}
inline Key ItemFieldKey(std::uint32_t note, std::uint8_t field, std::uint32_t item) {
  Key k = ItemFieldPrefix(note);
  k.push_back(field);
  AppendU32LE(k, item);
  return k;
}
inline Key OrderPrefix(std::uint32_t note) {
  Key k{kOrderKind};
  AppendU32LE(k, note);
  return k;
}
inline Key NoteMetaKey(std::uint8_t which, std::uint32_t note) {
  Key k{kNoteMetaKind, which};
  AppendU32LE(k, note);
  return k;
}

// UTF-16 text is stored little-endian without a terminator.
inline std::vector<std::uint8_t> TextBytes(std::u16string_view text) {
  std::vector<std::uint8_t> b(text.size() * 2);
  for (std::size_t i = 0; i < text.size(); ++i) StoreU16LE(&b[2 * i], static_cast<std::uint16_t>(text[i]));
  return b;
}
inline std::u16string TextFromBytes(const std::uint8_t* data, std::size_t bytes) {
  std::u16string t(bytes / 2, u'\0');
  for (std::size_t i = 0; i < t.size(); ++i) t[i] = static_cast<char16_t>(LoadU16LE(data + 2 * i));
  return t;
}
inline std::u16string TextFromBytes(const std::vector<std::uint8_t>& b) { return TextFromBytes(b.data(), b.size()); }

}  // namespace vellumo::model
