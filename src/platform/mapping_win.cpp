#include <windows.h>

#include "platform/mapping.h"

namespace vellumo::platform {

void MappedViewTraits::Close(Handle view) noexcept {
  const DWORD error = ::GetLastError();
  ::UnmapViewOfFile(view.base);
  ::SetLastError(error);
}

bool FileMapping::Create(const File& file, std::uint64_t sizeBytes) noexcept {
  Close();
  if (!file.IsOpen()) return false;
  HANDLE h = ::CreateFileMappingW(file.Handle(), nullptr, PAGE_READWRITE,
                                  static_cast<DWORD>(sizeBytes >> 32),
                                  static_cast<DWORD>(sizeBytes), nullptr);
  if (!h) return false;
  handle_.reset(h);
  sizeBytes_ = sizeBytes ? sizeBytes : file.Size();
  return true;
}

void FileMapping::Close() noexcept {
  handle_.reset();
  sizeBytes_ = 0;
}

bool FileMapping::IsValid() const noexcept { return handle_.valid(); }

MappedView FileMapping::MapView(std::uint64_t offset, std::uint32_t lengthBytes) const noexcept {
  if (!handle_) return {};
  void* p = ::MapViewOfFile(handle_.get(), FILE_MAP_WRITE | FILE_MAP_READ, static_cast<DWORD>(offset >> 32),
                            static_cast<DWORD>(offset), lengthBytes);
  return MappedView(ViewSpan{static_cast<std::uint8_t*>(p), lengthBytes});
}

}  // namespace vellumo::platform
