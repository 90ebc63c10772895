#pragma once
// KYiQ8v: one file seen through a cache of fixed-size mapped views.  The file
// grows (in steps that get larger with the file) when a position beyond its
// end is written; reads beyond the end see zeros and never grow it.
//
// Not thread-safe: its owner (the database) serialises every call.
#include <cstddef>
#include <cstdint>
#include <bit>
#include <cstring>
#include <vector>

#include "platform/file.h"
#include "platform/mapping.h"

namespace vellumo {

namespace mapped_file_error {
inline constexpr int kReadMapFailed = 1672;
inline constexpr int kWriteMapFailed = 1702;
inline constexpr int kGrowToReachView = 1781;
inline constexpr int kGrowAfterMapFailure = 1816;
inline constexpr int kMapFailedFileLargeEnough = 1821;
inline constexpr int kGrowOutOfRange = 1830;
inline constexpr int kGrowMappingFailed = 1853;
inline constexpr int kGrowTooSmall = 1856;
}  // namespace mapped_file_error

class KYiQ8v {
 public:
  static constexpr std::uint32_t kDatabaseViewSize = 0x200000;  // 2 MiB
  static constexpr std::uint32_t kDatabaseMaxViews = 96;
  static constexpr std::uint32_t kFreeMapViewSize = 0x80000;  // 512 KiB
  static constexpr std::uint32_t kFreeMapMaxViews = 128;
  // Writes of at least this many bytes bypass the views (see Write).
  static constexpr std::size_t kDirectWriteBytes = 8192;

  // The file stays owned by the caller and must outlive this object.
  KYiQ8v(const platform::File& file, std::uint32_t maxViews, std::uint32_t viewSize);
  virtual ~KYiQ8v();
  KYiQ8v(const KYiQ8v&) = delete;
  KYiQ8v& operator=(const KYiQ8v&) = delete;

  [[nodiscard]] int Read(std::uint64_t position, void* buffer, std::size_t length) {
    if (std::uint8_t* p = FastPointer(position, length)) {
      std::memcpy(buffer, p, length);
      return 0;
    }
    return SlowRead(position, buffer, length);
  }
  // A null source writes zeros.
  [[nodiscard]] int Write(std::uint64_t position, const void* source, std::size_t length) {
    // Large writes inside the file go through the file itself: written
    // through a view, every fresh page costs a page fault, which for a new
    // value block of tens of kilobytes costs more than the copy.  Mappings
    // and file writes see the same pages.
    if (source != nullptr && length >= kDirectWriteBytes && position + length <= mappedSize_ &&
        file_.WriteAt(position, source, length))
      return 0;
    if (std::uint8_t* p = FastPointer(position, length)) {
      if (source) std::memcpy(p, source, length);
      else std::memset(p, 0, length);
      return 0;
    }
    return SlowWrite(position, source, length);
  }
  // Like Write, but bytes inside the file always go through the file, never
  // through a view: for a write that only makes sure the file reaches a
  // position ahead of a large write to the same pages, where a page fault
  // would also read ahead (zero-fill) pages that are about to be written.
  [[nodiscard]] int WriteThroughFile(std::uint64_t position, const void* source, std::size_t length) {
    if (position + length <= mappedSize_ && file_.WriteAt(position, source, length)) return 0;
    return Write(position, source, length);
  }
  // The bytes [position, position + length) in place, when they lie inside
  // the file and inside one view; null otherwise (then use Read).  The
  // pointer is valid until the next call that may map, unmap or grow.
  [[nodiscard]] std::uint8_t* Pointer(std::uint64_t position, std::size_t length);
  void UnmapAll() noexcept;

  std::uint64_t MappedSize() const noexcept { return mappedSize_; }
  std::uint32_t ViewCount() const noexcept { return static_cast<std::uint32_t>(views_.size()); }
  std::uint32_t ViewSize() const noexcept { return viewSize_; }
  // Start offsets of the cached views, in cache order (for tests).
  std::vector<std::uint64_t> ViewStarts() const;

 private:
  struct View {
    std::uint64_t start;
    platform::MappedView mapped;  // unmapped when the view leaves the cache
    std::uint32_t stamp;
    std::uint8_t* base() const { return mapped.get().base; }
  };

  // A view that is mapped and already carries the current stamp, without
  // stamping it again: first the view used last (sequential reads), then
  // through the region table, so that reads alternating between views (a
  // trie walk over a file filled in random order) stay off the slow path.
  std::uint8_t* FastPointer(std::uint64_t position, std::size_t length) {
    if (lastHit_ < views_.size()) {
      const View& v = views_[lastHit_];
      const std::uint64_t offset = position - v.start;
      if (position >= v.start && offset + length <= viewSize_ && v.stamp == stampClock_) return v.base() + offset;
    }
    const std::uint64_t region = RegionOf(position);
    if (region >= slotOfRegion_.size()) return nullptr;
    const std::int32_t slot = slotOfRegion_[region];
    if (slot < 0) return nullptr;
    const View& v = views_[static_cast<std::size_t>(slot)];
    const std::uint64_t offset = position - v.start;
    if (offset + length > viewSize_ || v.stamp != stampClock_) return nullptr;
    lastHit_ = static_cast<std::size_t>(slot);
    return v.base() + offset;
  }
  // View sizes are powers of two in practice, and a shift is much cheaper
  // than a 64-bit division on every read.
  std::uint64_t RegionOf(std::uint64_t position) const {
    return viewShift_ >= 0 ? position >> viewShift_ : position / viewSize_;
  }
  [[nodiscard]] int SlowRead(std::uint64_t position, void* buffer, std::size_t length);
  [[nodiscard]] int SlowWrite(std::uint64_t position, const void* source, std::size_t length);
  [[nodiscard]] int Locate(std::uint64_t position, std::uint8_t** pointer, std::uint64_t* available);
  [[nodiscard]] int MapViewAt(std::uint64_t start);
  [[nodiscard]] int Grow(std::uint64_t target);
  void EvictOldest() noexcept;

  const platform::File& file_;
  platform::FileMapping mapping_;
  std::uint32_t maxViews_;
  std::uint32_t viewSize_;
  int viewShift_;  // log2(viewSize_), or -1 when it is not a power of two
  std::uint64_t mappedSize_ = 0;
  std::vector<View> views_;
  // Cache slot of each view-sized region of the file, -1 when not mapped.
  std::vector<std::int32_t> slotOfRegion_;
  std::uint32_t stampClock_ = 0;
  std::size_t lastHit_ = 0;
};

}  // namespace vellumo
