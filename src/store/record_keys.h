#pragma once
// Every record key of the database, byte by byte.  The first key byte is
// the record kind; integers in keys are little-endian u32 except the
// big-endian item id that ends an order entry, so that entries with equal
// title text sort by id.  Texts inside keys are UTF-16LE without a
// terminator, except the ANSI title text of an order entry.
//
//   KEY                                     BYTES     VALUE
//   [01]                                    1         NoteIdCounter u32
//   [01][note][field]                       6         NoteField
//   [01][note][10h][item]                   10        ItemMarker, 1 zero byte
//   [01][note][16h][digest]                 26        NoteSyncDigest, 1 byte
//   [02][note][field][item]                 10        ItemField (1 title, 2 content,
//                                                     3 icon index, 4 icon path)
//   [03][note][title][00][mark][item BE]    11..10011 ItemOrderEntry, 1 zero byte
//   [04][01][note]                          6         NoteTriggers u32
//   [04][02][note]                          6         never written; erased with the note
//   [04][03][note]                          6         NoteName, UTF-16
//   [06]                                    1         PasswordRecord, 64 bytes
//   [07][size][path][index]                 ..2048    icon cache entry
//   [08][01]                                2         BackupCounter u32
//   [08][02]                                2         BackupDirectory, UTF-16
//   [08][03]                                2         LastBackupTime u64, ms since 1970
//   [09]                                    1         database identifier
//   [0A]                                    1         ServerAddress
//   [0B][name]                              2..181    Scheme, an appearance block
//   [0C][01..03]                            2         ManagementHotkey 1..3, u32
//   [0D][01]                                2         PopupOptions u32: set bits turn a default off
//
// Nothing below the store may form a key by hand: the builders here are the
// only place where these bytes are spelt out.
#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/bytes.h"

namespace vellumo::record_keys {

using Key = std::vector<std::uint8_t>;

// Record kinds.
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
inline constexpr std::uint8_t kPopupOptionsKind = 0x0D;

// Second byte of the [04] records.
inline constexpr std::uint8_t kMetaTriggers = 0x01;
inline constexpr std::uint8_t kMetaUnused = 0x02;
inline constexpr std::uint8_t kMetaName = 0x03;

// Field bytes of [01][note] that are not note fields of their own.
inline constexpr std::uint8_t kItemMarkerField = 0x10;
inline constexpr std::uint8_t kSyncDigestField = 0x16;
inline constexpr std::size_t kSyncDigestBytes = 20;

// Second byte of the [08] records.
inline constexpr std::uint8_t kBackupCounter = 0x01;
inline constexpr std::uint8_t kBackupDirectory = 0x02;
inline constexpr std::uint8_t kLastBackupTime = 0x03;

// Second byte of an icon cache key.
inline constexpr std::uint8_t kIconCacheSmall = 0;
inline constexpr std::uint8_t kIconCacheLarge = 1;
inline constexpr std::uint32_t kMaxIconCacheKeyBytes = 2048;

// Pseudo-notes whose fields hold global settings.
inline constexpr std::uint32_t kDefaultSchemeNote = 0xFFFFFFFFu;
inline constexpr std::uint32_t kCustomColoursNote = 0;

// Longest order entry: [03] + note + 10000 title bytes + [00] + mark + item.
inline constexpr std::uint32_t kMaxTitleKeyBytes = 10000;
inline constexpr std::uint32_t kMaxOrderKeyBytes = 1 + 4 + kMaxTitleKeyBytes + 1 + 1 + 4;
// The shortest entry a writer makes has an empty title: 11 bytes.  Walks
// of the index skip keys of 8 bytes or fewer, which cannot end in an id.
inline constexpr std::uint32_t kMinOrderEntryBytes = 9;

// Fixed keys.
inline constexpr std::array<std::uint8_t, 1> kNoteIdCounterKey{kNoteKind};
inline constexpr std::array<std::uint8_t, 1> kPasswordKey{kPasswordKind};
inline constexpr std::array<std::uint8_t, 2> kBackupCounterKey{kBackupKind, kBackupCounter};
inline constexpr std::array<std::uint8_t, 2> kBackupDirectoryKey{kBackupKind, kBackupDirectory};
inline constexpr std::array<std::uint8_t, 2> kLastBackupTimeKey{kBackupKind, kLastBackupTime};
inline constexpr std::array<std::uint8_t, 1> kDatabaseIdKey{kDatabaseIdKind};
inline constexpr std::array<std::uint8_t, 1> kServerAddressKey{kServerAddressKind};
inline constexpr std::array<std::uint8_t, 1> kSchemePrefix{kSchemeKind};
inline constexpr std::array<std::uint8_t, 1> kIconCachePrefix{kIconCacheKind};
inline constexpr std::array<std::uint8_t, 2> kPopupOptionsKey{kPopupOptionsKind, 0x01};

// which: 1..3.
inline constexpr std::array<std::uint8_t, 2> ManagementHotkeyKey(std::uint8_t which) { return {kHotkeyKind, which}; }

inline void AppendU32LE(Key& k, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) k.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
inline void AppendU32BE(Key& k, std::uint32_t v) {
  for (int i = 3; i >= 0; --i) k.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

inline Key NoteIdCounterKey() { return Key(kNoteIdCounterKey.begin(), kNoteIdCounterKey.end()); }
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
inline Key SyncDigestKey(std::uint32_t note, std::span<const std::uint8_t, kSyncDigestBytes> digest) {
  Key k = NoteFieldKey(note, kSyncDigestField);
  k.insert(k.end(), digest.begin(), digest.end());
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
// titleKey is the folded ANSI text, at most kMaxTitleKeyBytes.
inline Key OrderEntryKey(std::uint32_t note, std::span<const std::uint8_t> titleKey, std::uint8_t caseMark,
                         std::uint32_t item) {
  Key k = OrderPrefix(note);
  k.insert(k.end(), titleKey.begin(), titleKey.end());
  k.push_back(0);
  k.push_back(caseMark);
  AppendU32BE(k, item);
  return k;
}
// The item an order entry names: its last four bytes.
inline std::uint32_t OrderEntryItem(std::span<const std::uint8_t> key) { return LoadU32BE(key.data() + key.size() - 4); }
inline Key NoteMetaKey(std::uint8_t which, std::uint32_t note) {
  Key k{kNoteMetaKind, which};
  AppendU32LE(k, note);
  return k;
}
// nameBytes: the UTF-16LE name.
inline Key SchemeKey(std::span<const std::uint8_t> nameBytes) {
  Key k(1 + nameBytes.size());
  k[0] = kSchemeKind;
  std::copy(nameBytes.begin(), nameBytes.end(), k.begin() + 1);
  return k;
}
// pathBytes: the UTF-16LE path, at most 2000 bytes.
inline Key IconCacheKey(std::uint8_t size, std::span<const std::uint8_t> pathBytes, std::uint32_t index) {
  Key k(2 + pathBytes.size());
  k[0] = kIconCacheKind;
  k[1] = size;
  std::copy(pathBytes.begin(), pathBytes.end(), k.begin() + 2);
  AppendU32LE(k, index);
  return k;
}

}  // namespace vellumo::record_keys
