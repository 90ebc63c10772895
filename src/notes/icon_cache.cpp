#include "notes/icon_cache.h"

#include <algorithm>

#include "model/records.h"
#include "platform/bytes.h"

namespace vellumo::notes {
namespace {

void StoreHeader(std::uint8_t* p, const StoredBitmap& b) {
  StoreU32LE(p, 0);  // bmType
  StoreU32LE(p + 4, static_cast<std::uint32_t>(b.width));
  StoreU32LE(p + 8, static_cast<std::uint32_t>(b.height));
  StoreU32LE(p + 12, static_cast<std::uint32_t>(b.widthBytes));
  StoreU16LE(p + 16, b.planes);
  StoreU16LE(p + 18, b.bitsPixel);
  StoreU32LE(p + 20, 0);  // bmBits: a pointer of the writing process, meaningless here
}

// bmType goes out separately: StoredBitmap does not keep it, but a header
// whose type is not 0 is not of this format.
StoredBitmap LoadHeader(const std::uint8_t* p, std::uint32_t* type) {
  *type = LoadU32LE(p);
  StoredBitmap b;
  b.width = static_cast<std::int32_t>(LoadU32LE(p + 4));
  b.height = static_cast<std::int32_t>(LoadU32LE(p + 8));
  b.widthBytes = static_cast<std::int32_t>(LoadU32LE(p + 12));
  b.planes = LoadU16LE(p + 16);
  b.bitsPixel = LoadU16LE(p + 18);
  return b;
}

bool DepthOk(std::uint16_t bitsPixel) {
  switch (bitsPixel) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
      return true;
    default:
      return false;
  }
}

// The rules both directions share: a header is only trusted when it
// describes exactly the bytes that come with it.
bool BitmapOk(const StoredBitmap& b, std::size_t bitsBytes) {
  if (b.width < 1 || b.width > kIconMaxSidePx || b.height < 1 || b.height > kIconMaxSidePx) return false;
  if (b.planes != 1 || !DepthOk(b.bitsPixel)) return false;
  if (b.widthBytes != BitmapBitsStride(b.width, b.bitsPixel)) return false;
  return bitsBytes == static_cast<std::size_t>(b.widthBytes) * static_cast<std::size_t>(b.height);
}

bool IconOk(const IconBits& icon) {
  return BitmapOk(icon.color, icon.colorBits.size()) && BitmapOk(icon.mask, icon.maskBits.size()) &&
         icon.mask.bitsPixel == 1 && icon.mask.width == icon.color.width && icon.mask.height == icon.color.height;
}

}  // namespace

std::vector<std::uint8_t> IconCacheEntryKey(std::u16string_view path, std::uint32_t index, int sizePx) {
  const std::vector<std::uint8_t> pathBytes = Utf16ToBytes(path.substr(0, kIconCacheMaxPathBytes / 2));
  return record_keys::IconCacheKey(
      sizePx > kSmallIconMaxPx ? record_keys::kIconCacheLarge : record_keys::kIconCacheSmall, pathBytes, index);
}

std::optional<std::vector<std::uint8_t>> SerializeIcon(const IconBits& icon) {
  if (!IconOk(icon)) return std::nullopt;
  const std::size_t total = kIconValueHeaderBytes + icon.colorBits.size() + icon.maskBits.size();
  if (total > kIconValueMaxBytes) return std::nullopt;
  std::vector<std::uint8_t> value(total);
  StoreHeader(value.data(), icon.color);
  StoreHeader(value.data() + kBitmapHeaderBytes, icon.mask);
  StoreU16LE(value.data() + 48, static_cast<std::uint16_t>(icon.colorBits.size()));
  StoreU16LE(value.data() + 50, static_cast<std::uint16_t>(icon.maskBits.size()));
  std::copy(icon.colorBits.begin(), icon.colorBits.end(), value.begin() + kIconValueHeaderBytes);
  std::copy(icon.maskBits.begin(), icon.maskBits.end(),
            value.begin() + static_cast<std::ptrdiff_t>(kIconValueHeaderBytes + icon.colorBits.size()));
  return value;
}

CachedIcon ParseIconCacheValue(std::span<const std::uint8_t> value) {
  CachedIcon result;
  if (value.empty()) return result;
  if (value.size() == 1) {
    result.state = CachedIconState::kNoIcon;
    return result;
  }
  result.state = CachedIconState::kCorrupt;
  if (value.size() < kIconValueHeaderBytes || value.size() > kIconValueMaxBytes) return result;
  std::uint32_t colorType = 0, maskType = 0;
  IconBits bits;
  bits.color = LoadHeader(value.data(), &colorType);
  bits.mask = LoadHeader(value.data() + kBitmapHeaderBytes, &maskType);
  const std::size_t colorBytes = LoadU16LE(value.data() + 48);
  const std::size_t maskBytes = LoadU16LE(value.data() + 50);
  if (colorType != 0 || maskType != 0) return result;
  if (kIconValueHeaderBytes + colorBytes + maskBytes != value.size()) return result;
  bits.colorBits = value.subspan(kIconValueHeaderBytes, colorBytes);
  bits.maskBits = value.subspan(kIconValueHeaderBytes + colorBytes, maskBytes);
  if (!IconOk(bits)) return result;
  result.state = CachedIconState::kIcon;
  result.bits = bits;
  return result;
}

std::uint32_t ClearIconCache(Ku& db) {
  return db.Erase(record_keys::kIconCachePrefix, kIconCacheMaxKeyBytes);
}

}  // namespace vellumo::notes
