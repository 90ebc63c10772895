#pragma once
// The worker's receive buffer: bytes arrive in any pieces, whole frames
// leave in order.  Holds at most one largest frame, so a frame is never
// refused for lack of room; a length field out of range means the stream
// lost its framing and the connection must be dropped.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "sync/frames.h"

namespace vellumo::sync {

enum class ReceiveResult : int {
  kFrame = 0,          // frame holds the next whole frame
  kNeedMore = 1,
  kProtocolError = 2,  // reconnect; the buffer is emptied
};

class ReceiveBuffer {
 public:
  ReceiveBuffer() : bytes_(kMaxFrameBytes) {}

  // Where recv may write; empty only while a frame is being taken.
  [[nodiscard]] std::span<std::uint8_t> FreeSpace() noexcept { return std::span(bytes_).subspan(fill_); }
  // recv wrote n bytes into FreeSpace().
  void Commit(std::size_t n) noexcept { fill_ += n <= bytes_.size() - fill_ ? n : bytes_.size() - fill_; }

  // Copies the next whole frame out and moves the rest to the front.
  [[nodiscard]] ReceiveResult Next(Frame& frame);
  void Clear() noexcept { fill_ = 0; }
  [[nodiscard]] std::size_t Buffered() const noexcept { return fill_; }

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t fill_ = 0;
};

}  // namespace vellumo::sync
