#include <fcntl.h>
#include <unistd.h>

#include <vector>

#include "platform/file_copy.h"
#include "platform/os_handle.h"

namespace vellumo::platform {

bool CopyFileNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) noexcept {
  const OsHandle in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (!in) return false;
  OsHandle out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
  if (!out) return false;
  std::vector<char> buffer(1 << 20);
  bool ok = true;
  for (;;) {
    const ssize_t n = ::read(in.get(), buffer.data(), buffer.size());
    if (n == 0) break;
    if (n < 0) {
      ok = false;
      break;
    }
    for (ssize_t done = 0; done < n;) {
      const ssize_t w = ::write(out.get(), buffer.data() + done, static_cast<std::size_t>(n - done));
      if (w <= 0) {
        ok = false;
        break;
      }
      done += w;
    }
    if (!ok) break;
  }
  // A failing close can be the write that did not reach the disk.
  if (::close(out.release()) != 0) ok = false;
  if (!ok) ::unlink(to.c_str());
  return ok;
}

}  // namespace vellumo::platform
