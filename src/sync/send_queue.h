#pragma once
// The connection's outgoing frames, in the order they were produced.
//
// Every frame goes through the queue, also when the socket is idle: a frame
// sent directly while older ones still wait would overtake them, and the
// server relies on seeing frames exactly once, whole and in order (ListItem
// before its ListEnd, Register before anything about its note).  Whoever
// pushes a frame may flush at once; the flush holds the queue lock across
// its send calls, so bytes of two threads never interleave on the socket.
// The socket is non-blocking, so the lock is never held for long.
//
// A frame the socket takes only in part stays at the head with its offset
// and continues from there on the next flush; frames behind it wait.  After
// a reconnect the rest of such a frame would be garbage to the new
// connection, so Reset() drops everything and hands the dropped frames back:
// a DeleteHash among them must go back into its note's journal, or the
// deletion is lost and the next listing brings the item back.
//
// The queue is bounded by bytes; a producer that finds it full is told so
// and must treat the connection as broken (a reconnect resynchronises).
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <span>
#include <vector>

#include "sync/frames.h"

namespace vellumo::sync {

// Enough for a full listing of a 4096-item note and many uploads in flight.
inline constexpr std::size_t kDefaultSendQueueBytes = 16u << 20;

enum class SendStatus : int {
  kTaken = 0,       // the socket took `taken` bytes (possibly fewer than offered)
  kWouldBlock = 1,  // took nothing, try again later
  kError = 2,       // the socket failed; nothing was taken
};

struct SendAttempt {
  SendStatus status = SendStatus::kTaken;
  std::size_t taken = 0;
};

// One non-blocking send of the given bytes; may take any prefix of them.
using SendBytes = std::function<SendAttempt(std::span<const std::uint8_t>)>;

enum class PushResult : int {
  kQueued = 0,
  kBadFrame = 1,  // size outside 6..131072, or its length field disagrees
  kFull = 2,      // would pass the byte bound; nothing was queued
};

enum class FlushResult : int {
  kDrained = 0,  // nothing is left
  kBlocked = 1,  // the socket took less than offered or would block
  kError = 2,    // the socket failed: the connection's health suffers
};

struct FlushReport {
  FlushResult result = FlushResult::kDrained;
  std::size_t framesCompleted = 0;
  std::size_t bytesSent = 0;
};

class SendQueue {
 public:
  explicit SendQueue(std::size_t maxBytes = kDefaultSendQueueBytes) : maxBytes_(maxBytes) {}
  SendQueue(const SendQueue&) = delete;
  SendQueue& operator=(const SendQueue&) = delete;

  [[nodiscard]] PushResult Push(Frame frame);
  // Sends from the head until the queue is empty or the socket stops taking.
  FlushReport Flush(const SendBytes& send);
  // Drops every frame, also a partly sent one, and returns them oldest first.
  std::vector<Frame> Reset();

  [[nodiscard]] std::size_t PendingFrames() const;
  // Bytes not yet taken by the socket.
  [[nodiscard]] std::size_t PendingBytes() const;
  [[nodiscard]] bool HeadStarted() const;

 private:
  mutable std::mutex mutex_;
  std::deque<Frame> frames_;  // oldest first
  std::size_t headOffset_ = 0;
  std::size_t queuedBytes_ = 0;  // whole sizes of the frames held
  std::size_t maxBytes_;
};

}  // namespace vellumo::sync
