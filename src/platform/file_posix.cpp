#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

#include "platform/file.h"

namespace vellumo::platform {

void OsHandleTraits::Close(Handle fd) noexcept { ::close(fd); }  // also drops the flock

File File::OpenExclusiveWriter(const std::filesystem::path& path) {
  File f;
  OsHandle fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
  if (!fd) return f;
  // flock locks belong to the open file description, so a second open in the
  // same process conflicts too, like a second CreateFileW would.
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return f;
  f.handle_ = std::move(fd);
  return f;
}

bool File::IsOpen() const noexcept { return handle_.valid(); }

std::uint64_t File::Size() const noexcept {
  struct stat st {};
  if (!handle_ || ::fstat(handle_.get(), &st) != 0) return 0;
  return static_cast<std::uint64_t>(st.st_size);
}

std::size_t File::ReadAt(std::uint64_t offset, void* buffer, std::size_t length) const noexcept {
  if (!handle_) return 0;
  std::size_t done = 0;
  while (done < length) {
    ssize_t n = ::pread(handle_.get(), static_cast<char*>(buffer) + done, length - done,
                        static_cast<off_t>(offset + done));
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

bool File::WriteAt(std::uint64_t offset, const void* data, std::size_t length) const noexcept {
  if (!handle_) return false;
  std::size_t done = 0;
  while (done < length) {
    ssize_t n = ::pwrite(handle_.get(), static_cast<const char*>(data) + done, length - done,
                         static_cast<off_t>(offset + done));
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool File::TouchLastWriteTime() const noexcept {
  if (!handle_) return false;
  const struct timespec times[2] = {{0, UTIME_OMIT}, {0, UTIME_NOW}};
  return ::futimens(handle_.get(), times) == 0;
}

void File::Close() noexcept { handle_.reset(); }

}  // namespace vellumo::platform
