#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/mapping.h"

namespace vellumo::platform {

void MappedViewTraits::Close(Handle view) noexcept { ::munmap(view.base, view.lengthBytes); }

bool FileMapping::Create(const File& file, std::uint64_t sizeBytes) noexcept {
  Close();
  if (!file.IsOpen()) return false;
  const std::uint64_t current = file.Size();
  if (sizeBytes == 0) {
    if (current == 0) return false;  // as on Windows: an empty file cannot be mapped
    sizeBytes = current;
  } else if (sizeBytes > current) {
    if (sizeBytes > static_cast<std::uint64_t>(INT64_MAX)) return false;
    if (::ftruncate(file.Descriptor(), static_cast<off_t>(sizeBytes)) != 0) return false;
  }
  fd_ = file.Descriptor();
  sizeBytes_ = sizeBytes;
  valid_ = true;
  return true;
}

void FileMapping::Close() noexcept {
  fd_ = -1;
  valid_ = false;
  sizeBytes_ = 0;
}

bool FileMapping::IsValid() const noexcept { return valid_; }

MappedView FileMapping::MapView(std::uint64_t offset, std::uint32_t lengthBytes) const noexcept {
  if (!valid_ || lengthBytes == 0) return {};
  if (offset > sizeBytes_ || lengthBytes > sizeBytes_ - offset) return {};
  void* p = ::mmap(nullptr, lengthBytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd_,
                   static_cast<off_t>(offset));
  if (p == MAP_FAILED) return {};
  return MappedView(ViewSpan{static_cast<std::uint8_t*>(p), lengthBytes});
}

}  // namespace vellumo::platform
