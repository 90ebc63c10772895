#pragma once
// The icon cache: icons taken once from the shell or from program files and
// kept in the database, so that drawing an item needs no file access, also
// after a restart.  This half is portable: keys, the byte format of a cached
// icon and clearing.  Extraction and drawing live in item_icons_win.cpp.
//
// Key: [07][size class][path][index]
//   size class  1 byte   1 when the requested size is over 26 px, else 0
//   path        UTF-16LE without terminator, cut to its first 2000 bytes
//   index       u32 LE   the source's icon kind or index inside the file
//
// Value, either a single byte (any value): the source yields no icon, do not
// ask it again; or a serialised icon:
//
//   OFFSET SIZE
//        0   24  colour bitmap header (below)
//       24   24  mask bitmap header
//       48    2  u16 LE colour bits byte count C
//       50    2  u16 LE mask bits byte count M
//       52    C  colour bits, rows top-down as GetBitmapBits returns them
//     52+C    M  mask bits, the same way
//   The whole value is exactly 52 + C + M and at most 64512 bytes.
//
// A bitmap header is the 32-bit layout of the Win32 BITMAP structure, which
// is what the format has always held (on 64-bit Windows BITMAP is 32 bytes
// because of its pointer, so it is never copied in raw):
//
//   OFFSET SIZE
//        0    4  i32 LE bmType        always 0
//        4    4  i32 LE bmWidth       1..256
//        8    4  i32 LE bmHeight      1..256
//       12    4  i32 LE bmWidthBytes  row stride of GetBitmapBits: rows are
//                                     padded to whole 16-bit words
//       16    2  u16 LE bmPlanes      always 1
//       18    2  u16 LE bmBitsPixel   1, 4, 8, 16, 24 or 32; the mask is 1
//       20    4  bmBits               written 0, ignored when read
//
// Both bitmaps have the same width and height, and each byte count equals
// bmWidthBytes x bmHeight.  A monochrome icon (one with no colour bitmap) is
// kept with its AND half as the mask and its XOR half as a 1-bit colour
// bitmap; a 1-bit colour bitmap is rebuilt as such an icon.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "model/items.h"
#include "store/ku.h"
#include "store/record_keys.h"

namespace vellumo::notes {

// The icon kind that asks the shell for the icon of a file or file type.
inline constexpr std::uint32_t ShellIconIndex = model::icon_kind::kFromFile;

// Sizes up to this many pixels use small icons and the small cache records.
inline constexpr int kSmallIconMaxPx = 26;
inline constexpr std::size_t kIconCacheMaxPathBytes = 2000;
// Every cache key is shorter than this; clearing erases keys up to it.
inline constexpr std::uint32_t kIconCacheMaxKeyBytes = record_keys::kMaxIconCacheKeyBytes;
inline constexpr std::size_t kBitmapHeaderBytes = 24;
inline constexpr std::size_t kIconValueHeaderBytes = 2 * kBitmapHeaderBytes + 4;
inline constexpr std::size_t kIconValueMaxBytes = 64512;
inline constexpr int kIconMaxSidePx = 256;
static_assert(kIconValueHeaderBytes == 52);

// The one-byte value that marks a source without a usable icon.
inline constexpr std::uint8_t kNoIconValue = 0;

// A bitmap as the cache stores it; see the format above.
struct StoredBitmap {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t widthBytes = 0;
  std::uint16_t planes = 1;
  std::uint16_t bitsPixel = 0;
};

// The stride GetBitmapBits uses: whole 16-bit words per row.
constexpr std::int32_t BitmapBitsStride(std::int32_t width, std::uint16_t bitsPixel) {
  return static_cast<std::int32_t>((static_cast<std::int64_t>(width) * bitsPixel + 15) / 16 * 2);
}

// The bits of one icon, borrowed from the caller (serialising) or from the
// value that was parsed (drawing from the cache).
struct IconBits {
  StoredBitmap color;
  StoredBitmap mask;
  std::span<const std::uint8_t> colorBits;
  std::span<const std::uint8_t> maskBits;
};

std::vector<std::uint8_t> IconCacheEntryKey(std::u16string_view path, std::uint32_t index, int sizePx);

// The serialised value, or nothing when the icon breaks the format's rules
// (inconsistent headers, or more than 64512 bytes: too large to cache).
std::optional<std::vector<std::uint8_t>> SerializeIcon(const IconBits& icon);

enum class CachedIconState {
  kMissing,  // no record: ask the source
  kNoIcon,   // the one-byte value
  kIcon,     // a well-formed serialised icon
  kCorrupt,  // anything else; treated like kNoIcon by the drawing code
};

struct CachedIcon {
  CachedIconState state = CachedIconState::kMissing;
  IconBits bits;  // valid for kIcon, pointing into the parsed value
};

// Never reads outside `value`; the views of the result point into it.
CachedIcon ParseIconCacheValue(std::span<const std::uint8_t> value);

// Which of the seven built-in icons stands for a source index: the shell's
// fallback for ShellIconIndex, the index itself for 0..6, else plain text.
inline constexpr int kBuiltinIconCount = 7;
inline constexpr int kBuiltinShellFallback = 5;
constexpr int BuiltinIconSlot(std::uint32_t index) {
  if (index == ShellIconIndex) return kBuiltinShellFallback;
  return index < static_cast<std::uint32_t>(kBuiltinIconCount) ? static_cast<int>(index) : 0;
}

// Erases every cache record; returns how many there were.
std::uint32_t ClearIconCache(Ku& db);

}  // namespace vellumo::notes
