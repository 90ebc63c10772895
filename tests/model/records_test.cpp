// The bytes of every record key and of stored text, written out by hand:
// files written by earlier versions must keep being found.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "platform/utf16_bytes.h"
#include "store/record_keys.h"

namespace vellumo::record_keys {
namespace {

std::string Hex(std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (const std::uint8_t b : bytes) {
    text.push_back(kDigits[b >> 4]);
    text.push_back(kDigits[b & 0xF]);
  }
  return text;
}

TEST(RecordKeys, EveryLayoutByteForByte) {
  const std::array<std::uint8_t, kSyncDigestBytes> digest{0xAA, 1, 2, 3, 4, 5, 6, 7, 8, 9,
                                                          10, 11, 12, 13, 14, 15, 16, 17, 18, 0xBB};
  const std::vector<std::uint8_t> title{'a', 'b'};
  const std::vector<std::uint8_t> name{'S', 0, 0x7F, 0x95};  // UTF-16LE "S" U+957F
  struct Case {
    const char* what;
    Key key;
    std::string hex;
  };
  const Case cases[] = {
      {"note id counter", NoteIdCounterKey(), "01"},
      {"note field", NoteFieldKey(0x01020304, 17), "010403020111"},
      {"item marker", ItemMarkerKey(1, 0x0A0B0C0D), "0101000000100d0c0b0a"},
      {"sync digest", SyncDigestKey(2, digest),
       "010200000016aa0102030405060708090a0b0c0d0e0f101112bb"},
      {"item field", ItemFieldKey(3, 2, 0x100), "02030000000200010000"},
      {"order entry", OrderEntryKey(4, title, 0xFE, 0x01020304), "0304000000616200fe01020304"},
      {"order entry, empty title", OrderEntryKey(4, {}, 0, 1), "03040000000000" "00000001"},
      {"triggers", NoteMetaKey(kMetaTriggers, 5), "040105000000"},
      {"unused", NoteMetaKey(kMetaUnused, 5), "040205000000"},
      {"name", NoteMetaKey(kMetaName, 0xFFFFFFFE), "0403feffffff"},
      {"scheme", SchemeKey(name), "0b53007f95"},
      {"icon cache", IconCacheKey(kIconCacheLarge, name, 9), "070153007f9509000000"},
      {"password", Key(kPasswordKey.begin(), kPasswordKey.end()), "06"},
      {"backup counter", Key(kBackupCounterKey.begin(), kBackupCounterKey.end()), "0801"},
      {"backup directory", Key(kBackupDirectoryKey.begin(), kBackupDirectoryKey.end()), "0802"},
      {"last backup time", Key(kLastBackupTimeKey.begin(), kLastBackupTimeKey.end()), "0803"},
      {"database id", Key(kDatabaseIdKey.begin(), kDatabaseIdKey.end()), "09"},
      {"server address", Key(kServerAddressKey.begin(), kServerAddressKey.end()), "0a"},
      {"hotkey 3", [] { const auto k = ManagementHotkeyKey(3); return Key(k.begin(), k.end()); }(), "0c03"},
  };
  for (const Case& c : cases) EXPECT_EQ(Hex(c.key), c.hex) << c.what;
  EXPECT_EQ(OrderEntryItem(OrderEntryKey(4, title, 0xFE, 0x01020304)), 0x01020304u);
  // The longest title key gives the longest order entry.
  EXPECT_EQ(OrderEntryKey(1, std::vector<std::uint8_t>(kMaxTitleKeyBytes, 'x'), 0, 1).size(), kMaxOrderKeyBytes);
}

TEST(Utf16Bytes, UnitsSurviveAsTheyAre) {
  // Lone surrogates, zero and 0xFFFF are kept: cipher text is stored as units.
  const std::u16string units{u'A', u'\0', char16_t{0xD800}, char16_t{0xFFFF}, char16_t{0xDC00}, u'便'};
  const std::vector<std::uint8_t> bytes = Utf16ToBytes(units);
  EXPECT_EQ(Hex(bytes), "4100" "0000" "00d8" "ffff" "00dc" "bf4f");
  EXPECT_EQ(Utf16FromBytes(bytes), units);
  std::vector<std::uint8_t> odd = bytes;
  odd.push_back(0x41);
  EXPECT_EQ(Utf16FromBytes(odd), units) << "an odd last byte is dropped";
  EXPECT_TRUE(Utf16ToBytes(u"").empty());
  EXPECT_TRUE(Utf16FromBytes(std::vector<std::uint8_t>{0x41}).empty());
}

}  // namespace
}  // namespace vellumo::record_keys
