#include "store/mapped_file.h"

#include <cstring>

namespace vellumo {

using namespace mapped_file_error;

KYiQ8v::KYiQ8v(const platform::File& file, std::uint32_t maxViews, std::uint32_t viewSize)
    : file_(file),
      maxViews_(maxViews),
      viewSize_(viewSize),
      viewShift_(std::has_single_bit(viewSize) ? std::countr_zero(viewSize) : -1) {
  views_.reserve(maxViews_);
  mappedSize_ = file_.Size();
  // An empty file cannot be mapped; the first access grows it.
  (void)mapping_.Create(file_, 0);
}

KYiQ8v::~KYiQ8v() {
  UnmapAll();
  mapping_.Close();
}

std::vector<std::uint64_t> KYiQ8v::ViewStarts() const {
  std::vector<std::uint64_t> starts;
  for (const View& v : views_) starts.push_back(v.start);
  return starts;
}

void KYiQ8v::UnmapAll() noexcept {
  for (const View& v : views_) slotOfRegion_[v.start / viewSize_] = -1;
  views_.clear();
  lastHit_ = 0;
}

void KYiQ8v::EvictOldest() noexcept {
  if (views_.empty()) return;
  std::size_t oldest = 0;
  for (std::size_t i = 1; i < views_.size(); ++i)
    if (views_[i].stamp < views_[oldest].stamp) oldest = i;
  slotOfRegion_[views_[oldest].start / viewSize_] = -1;
  views_[oldest] = std::move(views_.back());
  views_.pop_back();
  if (oldest < views_.size()) slotOfRegion_[views_[oldest].start / viewSize_] = static_cast<std::int32_t>(oldest);
  lastHit_ = 0;
}

int KYiQ8v::Grow(std::uint64_t target) {
  if ((target >> 32) == 0xFFFFFFFFu) return kGrowOutOfRange;
  UnmapAll();
  const std::uint64_t current = mappedSize_;
  const std::uint64_t view = viewSize_;
  std::uint64_t step;
  if (current < view) step = view - current;
  else if (current < 8 * view) step = view;
  else if (current < 0x10000000) step = 0x2000000;
  else if (current < 0x40000000) step = 0x8000000;
  else step = 0x20000000;
  const std::uint64_t wanted = (target / step + 1) * step;

  mapping_.Close();
  std::uint64_t obtained = 0;
  for (std::uint64_t size = wanted; size > view || size == wanted; size -= view) {
    if (mapping_.Create(file_, size)) {
      obtained = size;
      break;
    }
    if (size <= view) break;
  }
  if (!obtained) {
    // Keep serving what the file already holds.
    if (!mapping_.Create(file_, 0)) mappedSize_ = 0;
    else mappedSize_ = mapping_.SizeBytes();
    return kGrowMappingFailed;
  }
  mappedSize_ = obtained;
  return obtained > target ? 0 : kGrowTooSmall;
}

int KYiQ8v::MapViewAt(std::uint64_t start) {
  if (stampClock_ == 0)
    for (View& v : views_) v.stamp = 0;
  ++stampClock_;
  if (start >= mappedSize_ && Grow(start) != 0) return kGrowToReachView;
  if (views_.size() >= maxViews_) EvictOldest();
  for (;;) {
    platform::MappedView mapped = mapping_.MapView(start, viewSize_);
    if (mapped) {
      const std::uint64_t region = start / viewSize_;
      if (region >= slotOfRegion_.size()) slotOfRegion_.resize(region + 1, -1);
      slotOfRegion_[region] = static_cast<std::int32_t>(views_.size());
      views_.push_back(View{start, std::move(mapped), stampClock_});
      return 0;
    }
    if (!views_.empty()) {
      EvictOldest();
      continue;
    }
    if (start + viewSize_ <= mappedSize_) return kMapFailedFileLargeEnough;
    if (Grow(start + viewSize_ - 1) != 0) return kGrowAfterMapFailure;
  }
}

int KYiQ8v::Locate(std::uint64_t position, std::uint8_t** pointer, std::uint64_t* available) {
  const std::uint64_t region = RegionOf(position);
  const std::uint64_t start = region * viewSize_;
  if (views_.empty() || region >= slotOfRegion_.size() || slotOfRegion_[region] < 0) {
    int rc = MapViewAt(start);
    if (rc != 0) return rc;
  }
  if (region >= slotOfRegion_.size() || slotOfRegion_[region] < 0) return kMapFailedFileLargeEnough;
  lastHit_ = static_cast<std::size_t>(slotOfRegion_[region]);
  View& v = views_[lastHit_];
  v.stamp = stampClock_;
  *pointer = v.base() + (position - start);
  *available = viewSize_ - (position - start);
  return 0;
}

std::uint8_t* KYiQ8v::Pointer(std::uint64_t position, std::size_t length) {
  if (std::uint8_t* p = FastPointer(position, length)) return p;
  if (position >= mappedSize_ || length > mappedSize_ - position) return nullptr;
  if (position % viewSize_ + length > viewSize_) return nullptr;
  std::uint8_t* p = nullptr;
  std::uint64_t available = 0;
  if (Locate(position, &p, &available) != 0) return nullptr;
  return p;
}

int KYiQ8v::SlowRead(std::uint64_t position, void* buffer, std::size_t length) {
  auto* out = static_cast<std::uint8_t*>(buffer);
  while (length > 0) {
    if (position >= mappedSize_) {
      std::memset(out, 0, length);
      return 0;
    }
    std::uint8_t* p = nullptr;
    std::uint64_t available = 0;
    if (Locate(position, &p, &available) != 0) return kReadMapFailed;
    const std::size_t n = available < length ? static_cast<std::size_t>(available) : length;
    std::memcpy(out, p, n);
    out += n;
    position += n;
    length -= n;
  }
  return 0;
}

int KYiQ8v::SlowWrite(std::uint64_t position, const void* source, std::size_t length) {
  const auto* in = static_cast<const std::uint8_t*>(source);
  while (length > 0) {
    std::uint8_t* p = nullptr;
    std::uint64_t available = 0;
    if (Locate(position, &p, &available) != 0) return kWriteMapFailed;
    const std::size_t n = available < length ? static_cast<std::size_t>(available) : length;
    if (in) {
      std::memcpy(p, in, n);
      in += n;
    } else {
      std::memset(p, 0, n);
    }
    position += n;
    length -= n;
  }
  return 0;
}

}  // namespace vellumo
