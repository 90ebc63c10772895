#include <windows.h>

#include "platform/mapping.h"

namespace vellumo::platform {

FileMapping::~FileMapping() { Close(); }

bool FileMapping::Create(const File& file, std::uint64_t sizeBytes) noexcept {
  Close();
  if (!file.IsOpen()) return false;
  HANDLE h = ::CreateFileMappingW(file.Handle(), nullptr, PAGE_READWRITE,
                                  static_cast<DWORD>(sizeBytes >> 32),
                                  static_cast<DWORD>(sizeBytes), nullptr);
  if (!h) return false;
  handle_ = h;
  sizeBytes_ = sizeBytes ? sizeBytes : file.Size();
  return true;
}

void FileMapping::Close() noexcept {
  if (handle_) {
    ::CloseHandle(handle_);
    handle_ = nullptr;
  }
  sizeBytes_ = 0;
}

bool FileMapping::IsValid() const noexcept { return handle_ != nullptr; }

std::uint8_t* FileMapping::MapView(std::uint64_t offset, std::uint32_t lengthBytes) const noexcept {
  if (!handle_) return nullptr;
  void* p = ::MapViewOfFile(handle_, FILE_MAP_WRITE | FILE_MAP_READ, static_cast<DWORD>(offset >> 32),
                            static_cast<DWORD>(offset), lengthBytes);
  return static_cast<std::uint8_t*>(p);
}

void FileMapping::UnmapView(std::uint8_t* base, std::uint32_t) noexcept {
  if (base) ::UnmapViewOfFile(base);
}

}  // namespace vellumo::platform
