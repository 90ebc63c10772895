#pragma once
// File mappings and views.  A mapping of a given size extends the file with
// zeros when the file is shorter (as CreateFileMappingW does); a view may not
// reach beyond the size of the mapping it comes from.
#include <cstdint>

#include "platform/file.h"
#include "platform/os_handle.h"

namespace vellumo::platform {

class FileMapping {
 public:
  FileMapping() = default;
  ~FileMapping() = default;
  FileMapping(const FileMapping&) = delete;
  FileMapping& operator=(const FileMapping&) = delete;

  // size 0 maps the whole current file, which fails for an empty file.
  [[nodiscard]] bool Create(const File& file, std::uint64_t sizeBytes) noexcept;
  void Close() noexcept;
  bool IsValid() const noexcept;
  std::uint64_t SizeBytes() const noexcept { return sizeBytes_; }

  // Maps lengthBytes at offset (a multiple of the allocation granularity);
  // an empty owner on failure.  The view outlives neither the process's
  // need for it nor its owner.
  [[nodiscard]] MappedView MapView(std::uint64_t offset, std::uint32_t lengthBytes) const noexcept;

 private:
#ifdef _WIN32
  OsHandle handle_;
#else
  int fd_ = -1;  // borrowed from the File
  bool valid_ = false;
#endif
  std::uint64_t sizeBytes_ = 0;
};

}  // namespace vellumo::platform
