#pragma once
// KYiQ8v: one file seen through a cache of fixed-size mapped views.  The file
// grows (in steps that get larger with the file) when a position beyond its
// end is written; reads beyond the end see zeros and never grow it.
//
// Not thread-safe: its owner (the database) serialises every call.
#include <cstddef>
#include <cstdint>
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

  // The file stays owned by the caller and must outlive this object.
  KYiQ8v(const platform::File& file, std::uint32_t maxViews, std::uint32_t viewSize);
  virtual ~KYiQ8v();
  KYiQ8v(const KYiQ8v&) = delete;
  KYiQ8v& operator=(const KYiQ8v&) = delete;

  [[nodiscard]] int Read(std::uint64_t position, void* buffer, std::size_t length);
  // A null source writes zeros.
  [[nodiscard]] int Write(std::uint64_t position, const void* source, std::size_t length);
  void UnmapAll() noexcept;

  std::uint64_t MappedSize() const noexcept { return mappedSize_; }
  std::uint32_t ViewCount() const noexcept { return static_cast<std::uint32_t>(views_.size()); }
  std::uint32_t ViewSize() const noexcept { return viewSize_; }
  // Start offsets of the cached views, in cache order (for tests).
  std::vector<std::uint64_t> ViewStarts() const;

 private:
  struct View {
    std::uint64_t start;
    std::uint8_t* base;
    std::uint32_t stamp;
  };

  [[nodiscard]] int Locate(std::uint64_t position, std::uint8_t** pointer, std::uint64_t* available);
  [[nodiscard]] int MapViewAt(std::uint64_t start);
  [[nodiscard]] int Grow(std::uint64_t target);
  void EvictOldest() noexcept;

  const platform::File& file_;
  platform::FileMapping mapping_;
  std::uint32_t maxViews_;
  std::uint32_t viewSize_;
  std::uint64_t mappedSize_ = 0;
  std::vector<View> views_;
  std::uint32_t stampClock_ = 0;
  std::size_t lastHit_ = 0;
};

}  // namespace vellumo
