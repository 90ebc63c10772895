#include "sync/send_queue.h"

#include <iterator>
#include <utility>

#include "platform/bytes.h"

namespace vellumo::sync {

PushResult SendQueue::Push(Frame frame) {
  if (frame.size() < kFrameHeaderBytes || frame.size() > kMaxFrameBytes ||
      LoadU32LE(frame.data()) != frame.size()) {
    return PushResult::kBadFrame;
  }
  std::lock_guard lock(mutex_);
  if (frame.size() > maxBytes_ - queuedBytes_) return PushResult::kFull;  // queuedBytes_ <= maxBytes_ always
  queuedBytes_ += frame.size();
  frames_.push_back(std::move(frame));
  return PushResult::kQueued;
}

FlushReport SendQueue::Flush(const SendBytes& send) {
  std::lock_guard lock(mutex_);
  FlushReport report;
  while (!frames_.empty()) {
    const Frame& head = frames_.front();
    const std::span<const std::uint8_t> rest = std::span(head).subspan(headOffset_);
    const SendAttempt attempt = send(rest);
    if (attempt.status == SendStatus::kError) {
      report.result = FlushResult::kError;
      return report;
    }
    // A socket never reports more than it was offered; a broken one that
    // does must not push the offset past the frame.
    const std::size_t taken =
        attempt.status == SendStatus::kTaken ? (attempt.taken < rest.size() ? attempt.taken : rest.size()) : 0;
    report.bytesSent += taken;
    if (taken < rest.size()) {
      headOffset_ += taken;
      report.result = FlushResult::kBlocked;
      return report;
    }
    queuedBytes_ -= head.size();
    frames_.pop_front();
    headOffset_ = 0;
    ++report.framesCompleted;
  }
  report.result = FlushResult::kDrained;
  return report;
}

std::vector<Frame> SendQueue::Reset() {
  std::lock_guard lock(mutex_);
  std::vector<Frame> dropped(std::make_move_iterator(frames_.begin()), std::make_move_iterator(frames_.end()));
  frames_.clear();
  headOffset_ = 0;
  queuedBytes_ = 0;
  return dropped;
}

std::size_t SendQueue::PendingFrames() const {
  std::lock_guard lock(mutex_);
  return frames_.size();
}

std::size_t SendQueue::PendingBytes() const {
  std::lock_guard lock(mutex_);
  return queuedBytes_ - headOffset_;
}

bool SendQueue::HeadStarted() const {
  std::lock_guard lock(mutex_);
  return headOffset_ != 0;
}

}  // namespace vellumo::sync
