#include "notes/item_icons.h"

#include <shellapi.h>

#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "model/items.h"

namespace vellumo::notes {

using platform::BitmapHandle;
using platform::IconHandle;

HICON BuiltinIcons::Get(int slot, bool large) {
  if (slot < 0 || slot >= kBuiltinIconCount) return nullptr;
  const std::size_t t = large ? 1 : 0;
  if (!loaded_[t]) {
    const HINSTANCE instance = instance_ ? instance_ : ::GetModuleHandleW(nullptr);
    const int side = ::GetSystemMetrics(large ? SM_CXICON : SM_CXSMICON);
    for (int i = 0; i < kBuiltinIconCount; ++i)
      tables_[t][static_cast<std::size_t>(i)].reset(static_cast<HICON>(::LoadImageW(
          instance, MAKEINTRESOURCEW(BuiltinIconResource(i)), IMAGE_ICON, side, side, LR_DEFAULTCOLOR)));
    loaded_[t] = true;
  }
  return tables_[t][static_cast<std::size_t>(slot)].get();
}

namespace {

void DrawBuiltinSlot(BuiltinIcons& builtins, int slot, HDC dc, int x, int y, int size) {
  if (HICON icon = builtins.Get(slot, size > kSmallIconMaxPx))
    ::DrawIconEx(dc, x, y, icon, size + 1, size + 1, 0, nullptr, DI_NORMAL);
}

BitmapHandle RebuildBitmap(const StoredBitmap& header, std::span<const std::uint8_t> bits) {
  BITMAP bm{};
  bm.bmWidth = header.width;
  bm.bmHeight = header.height;
  bm.bmWidthBytes = header.widthBytes;
  bm.bmPlanes = header.planes;
  bm.bmBitsPixel = header.bitsPixel;
  BitmapHandle bitmap(::CreateBitmapIndirect(&bm));
  if (bitmap && ::SetBitmapBits(bitmap.get(), static_cast<DWORD>(bits.size()), bits.data()) == 0) bitmap.reset();
  return bitmap;
}

// The parser has checked that every header agrees with its bits.
bool DrawCachedIcon(const IconBits& bits, HDC dc, int x, int y, int size) {
  ICONINFO info{};
  info.fIcon = TRUE;
  BitmapHandle color;
  BitmapHandle mask;
  if (bits.color.bitsPixel == 1) {
    // A monochrome icon: one bitmap twice as high, the AND half on top.
    std::vector<std::uint8_t> both(bits.maskBits.begin(), bits.maskBits.end());
    both.insert(both.end(), bits.colorBits.begin(), bits.colorBits.end());
    StoredBitmap header = bits.mask;
    header.height *= 2;
    mask = RebuildBitmap(header, both);
  } else {
    color = RebuildBitmap(bits.color, bits.colorBits);
    mask = RebuildBitmap(bits.mask, bits.maskBits);
    if (!color) return false;
  }
  if (!mask) return false;
  info.hbmColor = color.get();
  info.hbmMask = mask.get();
  // The icon holds copies of the bitmaps; ours go with this scope.
  IconHandle icon(::CreateIconIndirect(&info));
  if (!icon) return false;
  return ::DrawIconEx(dc, x, y, icon.get(), size, size, 0, nullptr, DI_NORMAL) != FALSE;
}

bool ReadBitmap(HBITMAP bitmap, StoredBitmap* header, std::vector<std::uint8_t>* bits) {
  BITMAP bm{};
  if (::GetObjectW(bitmap, sizeof bm, &bm) != sizeof bm) return false;
  if (bm.bmWidth < 1 || bm.bmWidth > kIconMaxSidePx || bm.bmHeight < 1 || bm.bmHeight > 2 * kIconMaxSidePx ||
      bm.bmPlanes != 1)
    return false;
  header->width = bm.bmWidth;
  header->height = bm.bmHeight;
  header->planes = 1;
  header->bitsPixel = bm.bmBitsPixel;
  // GetBitmapBits always packs rows to whole words, whatever stride the
  // bitmap has in memory; the stored header says what the bits are.
  header->widthBytes = BitmapBitsStride(bm.bmWidth, bm.bmBitsPixel);
  const auto count = static_cast<std::size_t>(header->widthBytes) * static_cast<std::size_t>(bm.bmHeight);
  if (count > kIconValueMaxBytes) return false;  // cannot be cached anyway
  bits->resize(count);
  return ::GetBitmapBits(bitmap, static_cast<LONG>(count), bits->data()) == static_cast<LONG>(count);
}

// The cache value of an icon; nothing when it cannot be read or is too
// large to cache.
std::optional<std::vector<std::uint8_t>> SerializeIconHandle(HICON icon) {
  ICONINFO info{};
  if (!::GetIconInfo(icon, &info)) return std::nullopt;
  const BitmapHandle color(info.hbmColor);
  const BitmapHandle mask(info.hbmMask);
  if (!mask) return std::nullopt;
  IconBits bits;
  std::vector<std::uint8_t> colorBytes;
  std::vector<std::uint8_t> maskBytes;
  if (!ReadBitmap(mask.get(), &bits.mask, &maskBytes)) return std::nullopt;
  if (color) {
    if (!ReadBitmap(color.get(), &bits.color, &colorBytes)) return std::nullopt;
  } else {
    // Monochrome: split the double-height mask into its AND and XOR halves.
    if (bits.mask.height % 2 != 0) return std::nullopt;
    bits.mask.height /= 2;
    bits.color = bits.mask;
    const auto half = static_cast<std::ptrdiff_t>(maskBytes.size() / 2);
    colorBytes.assign(maskBytes.begin() + half, maskBytes.end());
    maskBytes.resize(static_cast<std::size_t>(half));
  }
  bits.colorBits = colorBytes;
  bits.maskBits = maskBytes;
  return SerializeIcon(bits);
}

std::wstring Terminated(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

IconHandle ExtractSourceIcon(std::u16string_view path, std::uint32_t index, int size) {
  const std::wstring file = Terminated(path);
  const bool large = size > kSmallIconMaxPx;
  if (index == ShellIconIndex) {
    // A path that begins with "." is a file type: the shell answers from the
    // registry without looking for a file.  Small sizes ask for the small
    // icon straight away rather than fetching the large one first.
    UINT flags = SHGFI_ICON | (large ? 0u : static_cast<UINT>(SHGFI_SMALLICON));
    if (path.starts_with(u".")) flags |= SHGFI_USEFILEATTRIBUTES;
    SHFILEINFOW info{};
    if (::SHGetFileInfoW(file.c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info, flags) == 0) return {};
    return IconHandle(info.hIcon);
  }
  // Indexes above 0x7FFFFFFF are negative resource ids, as the icon chooser
  // stores them.
  HICON icon = nullptr;
  ::ExtractIconExW(file.c_str(), static_cast<int>(index), large ? &icon : nullptr, large ? nullptr : &icon, 1);
  return IconHandle(icon);
}

void PutCacheValue(Ku& db, const std::vector<std::uint8_t>& key, std::span<const std::uint8_t> value) {
  // A cache that cannot be written only means extracting again next time.
  (void)db.Put(key, value.data(), static_cast<std::uint32_t>(value.size()));
}

}  // namespace

void DrawBuiltinIcon(BuiltinIcons& builtins, std::uint32_t index, HDC dc, int x, int y, int size) {
  DrawBuiltinSlot(builtins, BuiltinIconSlot(index), dc, x, y, size);
}

void DrawSourceIcon(Ku& db, BuiltinIcons& builtins, std::u16string_view path, std::uint32_t index, HDC dc, int x,
                    int y, int size) {
  if (path.empty()) {
    DrawBuiltinIcon(builtins, index, dc, x, y, size);
    return;
  }
  const std::vector<std::uint8_t> key = IconCacheEntryKey(path, index, size);
  // One buffer for every draw; a longer value than it holds is corrupt.
  static std::vector<std::uint8_t> buffer(kIconValueMaxBytes);
  std::uint32_t length = static_cast<std::uint32_t>(buffer.size());
  if (db.Get(key, buffer.data(), &length) == 0 && length > 0) {
    const CachedIcon cached =
        length <= buffer.size() ? ParseIconCacheValue(std::span(buffer.data(), length)) : CachedIcon{};
    if (cached.state != CachedIconState::kIcon || !DrawCachedIcon(cached.bits, dc, x, y, size))
      DrawBuiltinIcon(builtins, index, dc, x, y, size);
    return;
  }

  const IconHandle icon = ExtractSourceIcon(path, index, size);
  if (!icon) {
    PutCacheValue(db, key, std::span(&kNoIconValue, 1));
    DrawBuiltinSlot(builtins, index == ShellIconIndex ? kBuiltinShellFallback : 0, dc, x, y, size);
    return;
  }
  const std::optional<std::vector<std::uint8_t>> value = SerializeIconHandle(icon.get());
  const CachedIcon fresh = value ? ParseIconCacheValue(*value) : CachedIcon{};
  if (fresh.state != CachedIconState::kIcon) {
    PutCacheValue(db, key, std::span(&kNoIconValue, 1));
    DrawBuiltinIcon(builtins, index, dc, x, y, size);
    return;
  }
  // Drawn from the serialised form, so the first draw looks exactly like
  // every later one from the cache.
  DrawCachedIcon(fresh.bits, dc, x, y, size);
  PutCacheValue(db, key, *value);
}

void DrawItemIcon(Ku& db, BuiltinIcons& builtins, std::uint32_t note, std::uint32_t item, HDC dc, int x, int y,
                  int size) {
  std::u16string path;
  const std::uint32_t kind = model::ItemIconSource(db, note, item, &path);
  DrawSourceIcon(db, builtins, path, kind, dc, x, y, size);
}

}  // namespace vellumo::notes
