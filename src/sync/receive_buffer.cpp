#include "sync/receive_buffer.h"

#include <algorithm>

namespace vellumo::sync {

ReceiveResult ReceiveBuffer::Next(Frame& frame) {
  std::size_t frameBytes = 0;
  switch (ScanFrame(std::span<const std::uint8_t>(bytes_).first(fill_), frameBytes)) {
    case FrameError::kOk:
      break;
    case FrameError::kIncomplete:
      return ReceiveResult::kNeedMore;
    default:
      fill_ = 0;
      return ReceiveResult::kProtocolError;
  }
  frame.assign(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(frameBytes));
  std::copy(bytes_.begin() + static_cast<std::ptrdiff_t>(frameBytes),
            bytes_.begin() + static_cast<std::ptrdiff_t>(fill_), bytes_.begin());
  fill_ -= frameBytes;
  return ReceiveResult::kFrame;
}

}  // namespace vellumo::sync
