#include "notes/item_icons.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "model/items.h"
#include "platform/win_handles.h"
#include "notes/icon_cache.h"
#include "platform/bytes.h"
#include "store/ku.h"
#include "support/temp_dir.h"

namespace vellumo::notes {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using Pixel = std::uint32_t;  // 0x00RRGGBB

constexpr int kCanvas = 64;
constexpr Pixel kBackground = 0x00FF00FF;

// Solid, easily told apart colours of the built-in icons, slot by slot.
constexpr Pixel kSlotColour[kBuiltinIconCount] = {0x00102030, 0x00C00000, 0x0000C000, 0x000000C0,
                                                  0x00C0C000, 0x0000C0C0, 0x00C000C0};

// The picture of one icon image: a colour per pixel, 0 alpha where the
// pixel is transparent.
using Painter = Pixel (*)(int x, int y, int side);

// An .ico image resource (RT_ICON): a 32-bit DIB and its AND mask.
Bytes IconImage(int side, Painter paint) {
  Bytes out(40);
  StoreU32LE(&out[0], 40);
  StoreU32LE(&out[4], static_cast<std::uint32_t>(side));
  StoreU32LE(&out[8], static_cast<std::uint32_t>(2 * side));
  StoreU16LE(&out[12], 1);
  StoreU16LE(&out[14], 32);
  for (int y = side - 1; y >= 0; --y) {
    for (int x = 0; x < side; ++x) {
      const Pixel p = paint(x, y, side);
      const std::uint8_t alpha = (p >> 24) == 0 ? 255 : 0;  // bit 24 set: transparent
      for (std::uint8_t b : {static_cast<std::uint8_t>(p), static_cast<std::uint8_t>(p >> 8),
                             static_cast<std::uint8_t>(p >> 16), alpha})
        out.push_back(b);
    }
  }
  const int maskRow = (side + 31) / 32 * 4;
  for (int y = side - 1; y >= 0; --y) {
    Bytes row(static_cast<std::size_t>(maskRow), 0);
    for (int x = 0; x < side; ++x)
      if (paint(x, y, side) >> 24) row[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

struct IconResource {
  int id;
  Painter paint;
};

// A copy of this test program whose resources are replaced by the given
// icons, each in 16 and 32 pixels: a module to load icons from, like the
// program's own, and a file to extract them from.
void WriteIconModule(const fs::path& target, const std::vector<IconResource>& icons) {
  wchar_t self[MAX_PATH];
  ASSERT_GT(::GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
  fs::copy_file(self, target, fs::copy_options::overwrite_existing);
  HANDLE update = ::BeginUpdateResourceW(target.c_str(), TRUE);
  ASSERT_NE(update, nullptr);
  WORD imageId = 1;
  for (const IconResource& icon : icons) {
    Bytes group(6);
    StoreU16LE(&group[2], 1);  // icons
    StoreU16LE(&group[4], 2);  // images
    for (int side : {16, 32}) {
      Bytes image = IconImage(side, icon.paint);
      ASSERT_TRUE(::UpdateResourceW(update, RT_ICON, MAKEINTRESOURCEW(imageId), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                                    image.data(), static_cast<DWORD>(image.size())));
      Bytes entry(14, 0);
      entry[0] = entry[1] = static_cast<std::uint8_t>(side);
      StoreU16LE(&entry[4], 1);
      StoreU16LE(&entry[6], 32);
      StoreU32LE(&entry[8], static_cast<std::uint32_t>(image.size()));
      StoreU16LE(&entry[12], imageId++);
      group.insert(group.end(), entry.begin(), entry.end());
    }
    ASSERT_TRUE(::UpdateResourceW(update, RT_GROUP_ICON, MAKEINTRESOURCEW(icon.id),
                                  MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), group.data(),
                                  static_cast<DWORD>(group.size())));
  }
  ASSERT_TRUE(::EndUpdateResourceW(update, FALSE));
}

template <int Slot>
Pixel SolidSlot(int, int, int) {
  return kSlotColour[Slot];
}
// Icons of a program file: a pattern, so that any change of pixels shows,
// and a transparent corner, so that the mask matters.
Pixel PatternA(int x, int y, int side) {
  if (x < side / 4 && y < side / 4) return 0x01000000;
  return static_cast<Pixel>((x * 255 / side) << 16 | (y * 255 / side) << 8 | 0x40);
}
Pixel PatternB(int x, int y, int) { return (x + y) % 2 ? 0x00FFFFFF : static_cast<Pixel>(x * 8); }

class ItemIconsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteIconModule(dir / "builtins.dll",
                    {{IDI_TRAY, &SolidSlot<0>}, {IDI_KIND_OPEN, &SolidSlot<1>}, {IDI_KIND_PASTE, &SolidSlot<2>},
                     {IDI_KIND_SECRET, &SolidSlot<3>}, {IDI_KIND_COMMAND, &SolidSlot<4>},
                     {IDI_KIND_SHELL, &SolidSlot<5>}, {IDI_KIND_KEYS, &SolidSlot<6>}});
    builtins = ::LoadLibraryExW((dir / "builtins.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(builtins, nullptr);
    builtinIcons = std::make_unique<BuiltinIcons>(builtins);
    WriteIconModule(dir / "program.exe", {{1, &PatternA}, {2, &PatternB}});
    program = (dir / "program.exe").u16string();

    const OpenResult r = db.OpenFiles(dir / "t.ku", dir / "t.hs");
    ASSERT_TRUE(r == OpenResult::Created || r == OpenResult::Opened);

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = kCanvas;
    info.bmiHeader.biHeight = -kCanvas;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    canvas.reset(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    ASSERT_TRUE(canvas);
    pixels = static_cast<Pixel*>(bits);
    dc.reset(::CreateCompatibleDC(nullptr));
    ASSERT_TRUE(dc);
    previous = ::SelectObject(dc.get(), canvas.get());
    Clear();
  }
  void TearDown() override {
    if (dc) ::SelectObject(dc.get(), previous);
    builtinIcons.reset();
    if (builtins) ::FreeLibrary(builtins);
  }

  void Clear() {
    ::GdiFlush();
    for (int i = 0; i < kCanvas * kCanvas; ++i) pixels[i] = kBackground;
  }
  Pixel At(int x, int y) {
    ::GdiFlush();
    return pixels[y * kCanvas + x] & 0x00FFFFFF;
  }
  std::vector<Pixel> Snapshot() {
    ::GdiFlush();
    return std::vector<Pixel>(pixels, pixels + kCanvas * kCanvas);
  }
  // Draws a source onto a cleared canvas at (4, 4) and returns the picture.
  std::vector<Pixel> Draw(std::u16string_view path, std::uint32_t index, int size) {
    Clear();
    DrawSourceIcon(db, *builtinIcons, path, index, dc.get(), 4, 4, size);
    return Snapshot();
  }
  // Which built-in icon covers (4, 4) .. (4 + size, 4 + size), one pixel more
  // than the size as built-in icons are drawn; -1 when none does.
  int BuiltinDrawn(int size) {
    for (int slot = 0; slot < kBuiltinIconCount; ++slot) {
      if (At(4, 4) == kSlotColour[slot] && At(4 + size, 4 + size) == kSlotColour[slot] &&
          At(5 + size, 5 + size) == kBackground)
        return slot;
    }
    return -1;
  }
  Bytes Record(std::u16string_view path, std::uint32_t index, int size) {
    Bytes v;
    (void)db.GetValue(IconCacheEntryKey(path, index, size), &v);
    return v;
  }
  void PutRecord(std::u16string_view path, std::uint32_t index, int size, const Bytes& value) {
    ASSERT_EQ(db.Put(IconCacheEntryKey(path, index, size), value.data(), static_cast<std::uint32_t>(value.size())),
              0);
  }

  testing::TempDir dir;
  HMODULE builtins = nullptr;
  std::unique_ptr<BuiltinIcons> builtinIcons;
  std::u16string program;
  Ku db;
  platform::BitmapHandle canvas;
  platform::MemoryDc dc;
  HGDIOBJ previous = nullptr;
  Pixel* pixels = nullptr;
};

TEST_F(ItemIconsTest, SourcesWithoutPathDrawTheirBuiltinIconOneLarger) {
  const std::pair<std::uint32_t, int> cases[] = {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6},
                                                 {7, 0}, {ShellIconIndex, 5}, {0xFFFFFFFF, 0}};
  for (int size : {16, 32}) {
    for (auto [index, slot] : cases) {
      Draw(u"", index, size);
      EXPECT_EQ(BuiltinDrawn(size), slot) << "index " << index << " at " << size;
    }
  }
  EXPECT_EQ(ClearIconCache(db), 0u) << "sources without a path are never cached";
}

TEST_F(ItemIconsTest, FileIconIsCachedPerSizeClassAndDrawnFromTheCacheAlone) {
  const std::vector<Pixel> small = Draw(program, 0, 16);
  const std::vector<Pixel> large = Draw(program, 0, 32);
  // The pattern is drawn: its transparent corner shows the background.
  EXPECT_EQ(At(4, 4), kBackground);
  EXPECT_NE(At(4 + 20, 4 + 20), kBackground);
  EXPECT_EQ(At(4 + 32, 4 + 32), kBackground) << "file icons are drawn at their size";

  for (auto [size, side] : {std::pair{16, 16}, {32, 32}}) {
    const Bytes value = Record(program, 0, size);
    const CachedIcon cached = ParseIconCacheValue(value);
    ASSERT_EQ(cached.state, CachedIconState::kIcon) << size;
    EXPECT_EQ(cached.bits.color.width, side);
    EXPECT_EQ(cached.bits.mask.height, side);
  }
  EXPECT_NE(Record(program, 0, 16), Record(program, 0, 32));

  // Without the file, and after a restart, the same pictures come back.
  fs::remove(dir / "program.exe");
  EXPECT_EQ(Draw(program, 0, 16), small);
  db.Close();
  ASSERT_EQ(db.OpenFiles(dir / "t.ku", dir / "t.hs"), OpenResult::Opened);
  EXPECT_EQ(Draw(program, 0, 32), large);
  // Any size up to 26 px comes from the small record, scaled.
  Draw(program, 0, 20);
  EXPECT_EQ(BuiltinDrawn(20), -1);
  EXPECT_NE(At(4 + 19, 4 + 19), kBackground);
  EXPECT_EQ(At(4 + 20, 4 + 20), kBackground);
}

TEST_F(ItemIconsTest, EachIconOfAFileHasItsOwnRecord) {
  const std::vector<Pixel> first = Draw(program, 0, 32);
  const std::vector<Pixel> second = Draw(program, 1, 32);
  EXPECT_NE(first, second);
  EXPECT_EQ(ParseIconCacheValue(Record(program, 0, 32)).state, CachedIconState::kIcon);
  EXPECT_EQ(ParseIconCacheValue(Record(program, 1, 32)).state, CachedIconState::kIcon);
}

TEST_F(ItemIconsTest, SourceWithoutIconIsRememberedAndDrawsABuiltinIcon) {
  {
    std::FILE* f = std::fopen((dir / "data.bin").string().c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("no icons here", f);
    std::fclose(f);
  }
  const std::u16string noIcons = (dir / "data.bin").u16string();
  const std::u16string missing = (dir / "gone.exe").u16string();
  struct Case {
    std::u16string path;
    std::uint32_t index;
    int firstSlot;   // when the source is asked
    int cachedSlot;  // from the one-byte record
  };
  const Case cases[] = {
      {noIcons, 3, 0, 3},
      {noIcons, 6, 0, 6},
      {noIcons, 9, 0, 0},
      {missing, 2, 0, 2},
      {program, 7, 0, 0},  // an index past the file's icons
      {missing, ShellIconIndex, 5, 5},
  };
  for (const Case& c : cases) {
    const std::string name = fs::path(c.path).filename().string() + " #" + std::to_string(c.index);
    for (int size : {16, 32}) {
      Draw(c.path, c.index, size);
      EXPECT_EQ(BuiltinDrawn(size), c.firstSlot) << name << " first at " << size;
      EXPECT_EQ(Record(c.path, c.index, size).size(), 1u) << name;
      Draw(c.path, c.index, size);
      EXPECT_EQ(BuiltinDrawn(size), c.cachedSlot) << name << " cached at " << size;
    }
  }
}

TEST_F(ItemIconsTest, CorruptRecordsDrawTheBuiltinIconAndStay) {
  Draw(program, 1, 32);
  const Bytes good = Record(program, 1, 32);
  ASSERT_GT(good.size(), 52u);
  auto with = [&](std::size_t offset, std::uint32_t v) {
    Bytes b = good;
    StoreU32LE(&b[offset], v);
    return b;
  };
  const std::pair<const char*, Bytes> corruptions[] = {
      {"cut short", Bytes(good.begin(), good.end() - 1)},
      {"header only", Bytes(good.begin(), good.begin() + 52)},
      {"width claims 256", with(4, 256)},
      {"huge stride", with(12, 0x7FFFFFF0)},
      {"longer than any icon", Bytes(kIconValueMaxBytes + 1, 0x5A)},
      {"two bytes", Bytes{1, 2}},
  };
  for (const auto& [name, value] : corruptions) {
    PutRecord(program, 4, 32, value);
    Draw(program, 4, 32);
    EXPECT_EQ(BuiltinDrawn(32), 4) << name;
    EXPECT_EQ(Record(program, 4, 32), value) << name << ": the record is not rewritten";
  }
}

TEST_F(ItemIconsTest, ShellIconsOfFileTypesAndFiles) {
  Draw(u".txt", ShellIconIndex, 16);
  const CachedIcon txt = ParseIconCacheValue(Record(u".txt", ShellIconIndex, 16));
  EXPECT_EQ(txt.state, CachedIconState::kIcon) << "the shell knows the text file type without a file";
  EXPECT_EQ(BuiltinDrawn(16), -1);

  Draw(program, ShellIconIndex, 32);
  const CachedIcon exe = ParseIconCacheValue(Record(program, ShellIconIndex, 32));
  EXPECT_EQ(exe.state, CachedIconState::kIcon);
  if (exe.state == CachedIconState::kIcon) {
    EXPECT_EQ(exe.bits.color.width, 32);
  }
}

TEST_F(ItemIconsTest, ItemIconsFollowTheItemsRecords) {
  const std::uint32_t note = 3;
  ASSERT_EQ(model::PutItemContent(db, note, 1, u"<v>pasted"), 0);
  ASSERT_EQ(model::PutItemContent(db, note, 2, u"<K>encrypted"), 0);
  ASSERT_EQ(model::PutItemContent(db, note, 3, u"<run>https://example.org/"), 0);
  ASSERT_EQ(model::PutItemContent(db, note, 4, u"plain"), 0);
  ASSERT_EQ(model::PutItemIconPath(db, note, 4, program), 0);
  ASSERT_EQ(model::PutItemIconIndex(db, note, 4, 1), 0);

  Clear();
  DrawItemIcon(db, *builtinIcons, note, 1, dc.get(), 4, 4, 16);
  EXPECT_EQ(BuiltinDrawn(16), 2);
  Clear();
  DrawItemIcon(db, *builtinIcons, note, 2, dc.get(), 4, 4, 16);
  EXPECT_EQ(BuiltinDrawn(16), 3);
  Clear();
  DrawItemIcon(db, *builtinIcons, note, 3, dc.get(), 4, 4, 16);
  EXPECT_FALSE(Record(u".url", ShellIconIndex, 16).empty()) << "web addresses show the .url file type";

  Clear();
  DrawItemIcon(db, *builtinIcons, note, 4, dc.get(), 4, 4, 32);
  const std::vector<Pixel> viaItem = Snapshot();
  EXPECT_EQ(Draw(program, 1, 32), viaItem);
}

TEST_F(ItemIconsTest, ClearingCountsCacheRecordsAndKeepsOthers) {
  Draw(program, 0, 16);
  Draw(program, 0, 32);
  Draw(program, 1, 16);
  Draw(u"", 3, 16);  // not cached
  Draw((dir / "gone.exe").u16string(), 0, 16);
  const Bytes other{0x06};
  const Bytes otherValue{1, 2, 3, 4};
  ASSERT_EQ(db.Put(other, otherValue.data(), 4), 0);

  EXPECT_EQ(ClearIconCache(db), 4u);
  EXPECT_TRUE(Record(program, 0, 16).empty());
  Bytes kept;
  ASSERT_EQ(db.GetValue(other, &kept), 0);
  EXPECT_EQ(kept, otherValue);

  // The next draw asks the file again.
  Draw(program, 0, 16);
  EXPECT_EQ(ParseIconCacheValue(Record(program, 0, 16)).state, CachedIconState::kIcon);
}

}  // namespace
}  // namespace vellumo::notes
