#pragma once
// The database's view of a file: opened for reading and writing while other
// openers may only read, grown through mappings, stamped with its own
// modification time.  Win32 and POSIX twins implement it.
#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "platform/os_handle.h"

namespace vellumo::platform {

class File {
 public:
  File() = default;
  ~File() = default;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  File(File&& other) noexcept = default;
  File& operator=(File&& other) noexcept = default;

  // Opens or creates the file for reading and writing.  Fails while another
  // writer (in this or another process) holds it open, as the share mode
  // FILE_SHARE_READ does on Windows.
  [[nodiscard]] static File OpenExclusiveWriter(const std::filesystem::path& path);

  bool IsOpen() const noexcept;
  // Current size in bytes; 0 when it cannot be read.
  std::uint64_t Size() const noexcept;
  // Reads without mapping, so that a header can be checked before anything
  // could grow the file.  Returns the number of bytes read.
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t length) const noexcept;
  // Writes without mapping; true when every byte was written.  Used only
  // inside the file's current size, so it never grows the file.
  [[nodiscard]] bool WriteAt(std::uint64_t offset, const void* data, std::size_t length) const noexcept;
  // Sets only the last-write time to the current system time.
  bool TouchLastWriteTime() const noexcept;
  void Close() noexcept;

#ifdef _WIN32
  void* Handle() const noexcept { return handle_.get(); }
#else
  int Descriptor() const noexcept { return handle_.get(); }
#endif

 private:
  OsHandle handle_;
};

}  // namespace vellumo::platform
