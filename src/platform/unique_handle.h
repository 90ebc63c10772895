#pragma once
// One owner for every kind of handle the program holds: kernel handles,
// mapped views, device contexts, GDI objects, icons, menus, descriptors.
// A Traits type names the handle type, the value that means "nothing held"
// and how to let it go:
//
//   struct Traits {
//     using Handle = ...;
//     static Handle Invalid() noexcept;
//     static bool IsValid(Handle) noexcept;   // optional: more than one "nothing" value
//     static void Close(Handle) noexcept;
//   };
//
// Move-only.  release() hands the handle over without closing it and must
// not be ignored, or the handle leaks.
#include <cerrno>
#include <utility>

namespace vellumo::platform {

template <typename Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  UniqueHandle() noexcept = default;
  explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~UniqueHandle() { reset(); }

  // Closing must not disturb the error a caller is about to read (errno;
  // the Win32 traits keep GetLastError themselves).
  void reset(Handle handle = Traits::Invalid()) noexcept {
    const Handle old = std::exchange(handle_, handle);
    if (IsValid(old)) {
      const int savedErrno = errno;
      Traits::Close(old);
      errno = savedErrno;
    }
  }
  [[nodiscard]] Handle release() noexcept { return std::exchange(handle_, Traits::Invalid()); }
  Handle get() const noexcept { return handle_; }
  bool valid() const noexcept { return IsValid(handle_); }
  explicit operator bool() const noexcept { return valid(); }

 private:
  static bool IsValid(Handle handle) noexcept {
    if constexpr (requires { Traits::IsValid(handle); })
      return Traits::IsValid(handle);
    else
      return handle != Traits::Invalid();
  }

  Handle handle_ = Traits::Invalid();
};

}  // namespace vellumo::platform
