#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

#include "platform/file.h"

namespace vellumo::platform {

File::~File() { Close(); }
File::File(File&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

File File::OpenExclusiveWriter(const std::filesystem::path& path) {
  File f;
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return f;
  // flock locks belong to the open file description, so a second open in the
  // same process conflicts too, like a second CreateFileW would.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return f;
  }
  f.fd_ = fd;
  return f;
}

bool File::IsOpen() const noexcept { return fd_ >= 0; }

std::uint64_t File::Size() const noexcept {
  struct stat st {};
  if (fd_ < 0 || ::fstat(fd_, &st) != 0) return 0;
  return static_cast<std::uint64_t>(st.st_size);
}

std::size_t File::ReadAt(std::uint64_t offset, void* buffer, std::size_t length) const noexcept {
  if (fd_ < 0) return 0;
  std::size_t done = 0;
  while (done < length) {
    ssize_t n = ::pread(fd_, static_cast<char*>(buffer) + done, length - done,
                        static_cast<off_t>(offset + done));
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

bool File::TouchLastWriteTime() const noexcept {
  if (fd_ < 0) return false;
  const struct timespec times[2] = {{0, UTIME_OMIT}, {0, UTIME_NOW}};
  return ::futimens(fd_, times) == 0;
}

void File::Close() noexcept {
  if (fd_ >= 0) {
    ::close(fd_);  // also drops the flock
    fd_ = -1;
  }
}

}  // namespace vellumo::platform
