#include "notes/icon_cache.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/bytes.h"
#include "store/ku.h"
#include "support/temp_dir.h"

namespace vellumo::notes {
namespace {

using Bytes = std::vector<std::uint8_t>;

// An icon of the given size and colour depth whose bytes are all different
// from their neighbours, so that any shift or swap shows.
struct TestIcon {
  Bytes color;
  Bytes mask;
  IconBits bits;

  TestIcon(std::int32_t side, std::uint16_t bitsPixel) {
    bits.color = {side, side, BitmapBitsStride(side, bitsPixel), 1, bitsPixel};
    bits.mask = {side, side, BitmapBitsStride(side, 1), 1, 1};
    color.resize(static_cast<std::size_t>(bits.color.widthBytes) * side);
    mask.resize(static_cast<std::size_t>(bits.mask.widthBytes) * side);
    for (std::size_t i = 0; i < color.size(); ++i) color[i] = static_cast<std::uint8_t>(i * 7 + 1);
    for (std::size_t i = 0; i < mask.size(); ++i) mask[i] = static_cast<std::uint8_t>(0xA5 ^ i);
    bits.colorBits = color;
    bits.maskBits = mask;
  }
};

Bytes Serialized(const TestIcon& icon) {
  auto value = SerializeIcon(icon.bits);
  EXPECT_TRUE(value.has_value());
  return value.value_or(Bytes{});
}

TEST(IconCacheKey, Layout) {
  struct Case {
    const char* name;
    std::u16string path;
    std::uint32_t index;
    int size;
    Bytes expected;
  };
  const Case cases[] = {
      {"small, file type", u".txt", ShellIconIndex, 16,
       {7, 0, '.', 0, 't', 0, 'x', 0, 't', 0, 0x00, 0x00, 0x00, 0x80}},
      {"26 px is still small", u"a", 3, 26, {7, 0, 'a', 0, 3, 0, 0, 0}},
      {"27 px is large", u"a", 3, 27, {7, 1, 'a', 0, 3, 0, 0, 0}},
      {"index little-endian", u"a", 0x01020304, 32, {7, 1, 'a', 0, 4, 3, 2, 1}},
      {"UTF-16LE path", u"便", 0, 16, {7, 0, 0xBF, 0x4F, 0, 0, 0, 0}},
      {"empty path", u"", 5, 16, {7, 0, 5, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IconCacheEntryKey(c.path, c.index, c.size), c.expected) << c.name;
  }
}

TEST(IconCacheKey, LongPathIsCutTo2000Bytes) {
  std::u16string path(2000, u'x');
  path[999] = u'y';   // the last unit kept
  path[1000] = u'z';  // the first unit cut off
  const Bytes key = IconCacheEntryKey(path, 0x11223344, 32);
  ASSERT_EQ(key.size(), 2u + 2000u + 4u);
  EXPECT_LT(key.size(), kIconCacheMaxKeyBytes);
  EXPECT_EQ(key[2 + 1998], 'y');
  EXPECT_EQ(LoadU32LE(key.data() + 2002), 0x11223344u);
  // Paths that differ only after the cut share a record.
  path[1500] = u'w';
  EXPECT_EQ(IconCacheEntryKey(path, 0x11223344, 32), key);
}

TEST(IconCacheValue, RoundTrip) {
  for (auto [side, depth] : {std::pair{32, 32}, {16, 32}, {16, 24}, {32, 8}, {13, 4}, {16, 1}, {9, 16}}) {
    SCOPED_TRACE(std::to_string(side) + "px " + std::to_string(depth) + "bpp");
    const TestIcon icon(side, static_cast<std::uint16_t>(depth));
    const Bytes value = Serialized(icon);
    ASSERT_EQ(value.size(), 52 + icon.color.size() + icon.mask.size());
    // The header is the 32-bit BITMAP: type 0, sizes, stride, planes, depth, no pointer.
    EXPECT_EQ(LoadU32LE(value.data()), 0u);
    EXPECT_EQ(LoadU32LE(value.data() + 4), static_cast<std::uint32_t>(side));
    EXPECT_EQ(LoadU32LE(value.data() + 12), static_cast<std::uint32_t>(icon.bits.color.widthBytes));
    EXPECT_EQ(LoadU16LE(value.data() + 16), 1u);
    EXPECT_EQ(LoadU16LE(value.data() + 18), static_cast<std::uint32_t>(depth));
    EXPECT_EQ(LoadU32LE(value.data() + 20), 0u);
    EXPECT_EQ(LoadU16LE(value.data() + 42), 1u);  // mask depth
    EXPECT_EQ(LoadU16LE(value.data() + 48), icon.color.size());
    EXPECT_EQ(LoadU16LE(value.data() + 50), icon.mask.size());

    const CachedIcon parsed = ParseIconCacheValue(value);
    ASSERT_EQ(parsed.state, CachedIconState::kIcon);
    EXPECT_EQ(parsed.bits.color.width, side);
    EXPECT_EQ(parsed.bits.color.height, side);
    EXPECT_EQ(parsed.bits.color.bitsPixel, depth);
    EXPECT_EQ(parsed.bits.mask.widthBytes, icon.bits.mask.widthBytes);
    EXPECT_EQ(Bytes(parsed.bits.colorBits.begin(), parsed.bits.colorBits.end()), icon.color);
    EXPECT_EQ(Bytes(parsed.bits.maskBits.begin(), parsed.bits.maskBits.end()), icon.mask);
  }
}

TEST(IconCacheValue, StrideIsWholeWords) {
  EXPECT_EQ(BitmapBitsStride(16, 1), 2);
  EXPECT_EQ(BitmapBitsStride(17, 1), 4);
  EXPECT_EQ(BitmapBitsStride(13, 4), 8);  // 52 bits
  EXPECT_EQ(BitmapBitsStride(5, 24), 16);  // 15 bytes
  EXPECT_EQ(BitmapBitsStride(32, 32), 128);
}

TEST(IconCacheValue, SizeLimit) {
  // 124 px at 32 bits: 52 + 61504 + 1984 = 63540 bytes fit; 126 px (65572) do not.
  EXPECT_TRUE(SerializeIcon(TestIcon(124, 32).bits).has_value());
  EXPECT_FALSE(SerializeIcon(TestIcon(126, 32).bits).has_value());
  // 256 px is a legal side but far too large at 32 bits.
  EXPECT_FALSE(SerializeIcon(TestIcon(256, 32).bits).has_value());
}

TEST(IconCacheValue, SerializeRefusesInconsistentIcons) {
  const std::vector<std::pair<const char*, std::function<void(TestIcon&)>>> breakers = {
      {"colour bits one byte short", [](TestIcon& t) { t.bits.colorBits = t.bits.colorBits.first(t.color.size() - 1); }},
      {"mask bits missing", [](TestIcon& t) { t.bits.maskBits = {}; }},
      {"padded stride", [](TestIcon& t) { t.bits.color.widthBytes += 2; }},
      {"mask of another height", [](TestIcon& t) { t.bits.mask.height = 16; }},
      {"colour mask", [](TestIcon& t) { t.bits.mask.bitsPixel = 8; }},
      {"zero width", [](TestIcon& t) { t.bits.color.width = 0; }},
  };
  for (const auto& [name, breakIt] : breakers) {
    TestIcon icon(32, 32);
    breakIt(icon);
    EXPECT_FALSE(SerializeIcon(icon.bits).has_value()) << name;
  }
}

TEST(IconCacheValue, States) {
  EXPECT_EQ(ParseIconCacheValue({}).state, CachedIconState::kMissing);
  for (std::uint8_t b : {std::uint8_t{0}, std::uint8_t{1}, std::uint8_t{0xFF}}) {
    const Bytes one{b};
    EXPECT_EQ(ParseIconCacheValue(one).state, CachedIconState::kNoIcon) << int{b};
  }
  // The pointer field of a header is whatever the writing process had.
  Bytes value = Serialized(TestIcon(16, 32));
  StoreU32LE(value.data() + 20, 0x12345678);
  StoreU32LE(value.data() + 44, 0xFFFFFFFF);
  EXPECT_EQ(ParseIconCacheValue(value).state, CachedIconState::kIcon);
}

TEST(IconCacheValue, CorruptValuesAreRejected) {
  const Bytes good = Serialized(TestIcon(16, 32));  // colour 1024 bytes, mask 32
  auto u32At = [](std::size_t offset, std::uint32_t v) {
    return [=](Bytes& b) { StoreU32LE(b.data() + offset, v); };
  };
  auto u16At = [](std::size_t offset, std::uint16_t v) {
    return [=](Bytes& b) { StoreU16LE(b.data() + offset, v); };
  };
  const std::vector<std::pair<const char*, std::function<void(Bytes&)>>> corruptions = {
      {"two bytes", [](Bytes& b) { b.resize(2); }},
      {"header cut", [](Bytes& b) { b.resize(51); }},
      {"header only", [](Bytes& b) { b.resize(52); }},
      {"last byte missing", [](Bytes& b) { b.pop_back(); }},
      {"one byte too many", [](Bytes& b) { b.push_back(0); }},
      {"over 64512 bytes", [](Bytes& b) { b.resize(kIconValueMaxBytes + 1); }},
      {"colour count larger than the value", u16At(48, 0xFFFF)},
      {"counts swapped", [](Bytes& b) {
         StoreU16LE(b.data() + 48, 32);
         StoreU16LE(b.data() + 50, 1024);
       }},
      {"colour type", u32At(0, 1)},
      {"mask type", u32At(24, 1)},
      {"zero width", u32At(4, 0)},
      {"negative height", u32At(8, 0xFFFFFFF0)},
      {"width over 256", u32At(4, 257)},
      {"stride disagrees with width", u32At(12, 60)},
      {"negative stride", u32At(12, 0xFFFFFFC0)},
      {"two planes", u16At(16, 2)},
      {"odd depth", u16At(18, 3)},
      {"depth disagrees with stride", u16At(18, 16)},
      {"mask of 8 bits", u16At(42, 8)},
      {"mask narrower than the colour", [](Bytes& b) {
         StoreU32LE(b.data() + 28, 8);   // width
         StoreU32LE(b.data() + 36, 2);   // stride: still 2 bytes per row
       }},
      {"mask taller, counts adjusted", [](Bytes& b) {
         StoreU32LE(b.data() + 32, 32);  // height: twice the colour's
         StoreU16LE(b.data() + 50, 64);
         b.resize(b.size() + 32);
       }},
      {"colour taller, counts adjusted", [](Bytes& b) {
         // Each header agrees with its own bytes; the mask just does not
         // cover the colour bitmap.
         StoreU32LE(b.data() + 8, 17);
         StoreU16LE(b.data() + 48, 17 * 64);
         b.insert(b.begin() + 52, 64, 0);
       }},
  };
  for (const auto& [name, corrupt] : corruptions) {
    Bytes value = good;
    corrupt(value);
    EXPECT_EQ(ParseIconCacheValue(value).state, CachedIconState::kCorrupt) << name;
  }
}

TEST(IconCacheValue, BuiltinSlots) {
  const std::pair<std::uint32_t, int> cases[] = {{0, 0}, {1, 1}, {4, 4}, {5, 5}, {6, 6}, {7, 0},
                                                 {ShellIconIndex, 5}, {0x80000001u, 0}, {0xFFFFFFFFu, 0}};
  for (auto [index, slot] : cases) EXPECT_EQ(BuiltinIconSlot(index), slot) << index;
}

class IconCacheDb : public ::testing::Test {
 protected:
  void SetUp() override {
    const OpenResult r = db.OpenFiles(dir / "t.ku", dir / "t.hs");
    ASSERT_TRUE(r == OpenResult::Created || r == OpenResult::Opened);
  }
  void Put(const Bytes& key, const Bytes& value) {
    ASSERT_EQ(db.Put(key, value.data(), static_cast<std::uint32_t>(value.size())), 0);
  }
  Bytes Get(const Bytes& key) {
    Bytes v;
    (void)db.GetValue(key, &v);
    return v;
  }

  testing::TempDir dir;
  Ku db;
};

TEST_F(IconCacheDb, StoredIconReadsBack) {
  const TestIcon icon(32, 32);
  const Bytes key = IconCacheEntryKey(u"C:\\Program Files\\x.exe", 2, 32);
  Put(key, Serialized(icon));
  db.Close();
  ASSERT_EQ(db.OpenFiles(dir / "t.ku", dir / "t.hs"), OpenResult::Opened);
  const Bytes value = Get(key);
  const CachedIcon parsed = ParseIconCacheValue(value);
  ASSERT_EQ(parsed.state, CachedIconState::kIcon);
  EXPECT_EQ(Bytes(parsed.bits.colorBits.begin(), parsed.bits.colorBits.end()), icon.color);
}

TEST_F(IconCacheDb, ClearErasesOnlyCacheRecordsAndCountsThem) {
  const std::u16string longPath(1800, u'p');
  const Bytes cacheKeys[] = {
      IconCacheEntryKey(u".txt", ShellIconIndex, 16),
      IconCacheEntryKey(u".txt", ShellIconIndex, 32),
      IconCacheEntryKey(u"a.exe", 0, 16),
      IconCacheEntryKey(u"a.exe", 1, 16),
      IconCacheEntryKey(longPath, 0, 48),  // the longest key there is
  };
  for (const Bytes& k : cacheKeys) Put(k, Bytes{kNoIconValue});
  Put(IconCacheEntryKey(u"b.dll", 3, 32), Serialized(TestIcon(32, 32)));
  const Bytes others[] = {{6}, {6, 7}, {8, 1}, {9}, {2, 1, 0, 0, 0, 1, 1, 0, 0, 0}};
  for (const Bytes& k : others) Put(k, Bytes{1, 2, 3});

  EXPECT_EQ(ClearIconCache(db), 6u);
  for (const Bytes& k : cacheKeys) EXPECT_TRUE(Get(k).empty());
  for (const Bytes& k : others) EXPECT_EQ(Get(k), (Bytes{1, 2, 3}));
  EXPECT_EQ(ClearIconCache(db), 0u);
}

}  // namespace
}  // namespace vellumo::notes
