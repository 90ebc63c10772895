#include <windows.h>


#include "platform/file.h"

namespace vellumo::platform {

void OsHandleTraits::Close(Handle h) noexcept {
  const DWORD error = ::GetLastError();
  ::CloseHandle(h);
  ::SetLastError(error);
}

File File::OpenExclusiveWriter(const std::filesystem::path& path) {
  File f;
  HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  f.handle_.reset(h);
  return f;
}

bool File::IsOpen() const noexcept { return handle_.valid(); }

std::uint64_t File::Size() const noexcept {
  if (!handle_) return 0;
  DWORD high = 0;
  DWORD low = ::GetFileSize(handle_.get(), &high);
  if (low == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR) return 0;
  return (static_cast<std::uint64_t>(high) << 32) | low;
}

std::size_t File::ReadAt(std::uint64_t offset, void* buffer, std::size_t length) const noexcept {
  if (!handle_) return 0;
  std::size_t done = 0;
  while (done < length) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset + done);
    at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(length - done > 0x40000000 ? 0x40000000 : length - done);
    if (!::ReadFile(handle_.get(), static_cast<char*>(buffer) + done, want, &got, &at) || got == 0) break;
    done += got;
  }
  return done;
}

bool File::WriteAt(std::uint64_t offset, const void* data, std::size_t length) const noexcept {
  if (!handle_) return false;
  std::size_t done = 0;
  while (done < length) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset + done);
    at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
    DWORD put = 0;
    const DWORD want = static_cast<DWORD>(length - done > 0x40000000 ? 0x40000000 : length - done);
    if (!::WriteFile(handle_.get(), static_cast<const char*>(data) + done, want, &put, &at) || put == 0)
      return false;
    done += put;
  }
  return true;
}

bool File::TouchLastWriteTime() const noexcept {
  if (!handle_) return false;
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  return ::SetFileTime(handle_.get(), nullptr, nullptr, &now) != FALSE;
}

void File::Close() noexcept { handle_.reset(); }

}  // namespace vellumo::platform
