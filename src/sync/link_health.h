#pragma once
// The worker's judgement of its connection, without the socket: the health
// counter, the hello counter and the heartbeat clock.  The worker reports
// what each pass saw and asks whether to greet, to send a heartbeat or to
// reconnect.
//
// Health is set to 1 by a connection attempt and by any data received, and
// every quiet or failed pass lowers it; below -10 the worker reconnects.  A
// closed connection makes the socket readable at once with nothing to read,
// so it fails quickly.  A heartbeat goes out after an idle second once the
// previous one is 20 s old; its tick is made odd while the answer is owed,
// and a second heartbeat due with the first unanswered sinks health so far
// that only data arriving in that very pass saves the connection.
#include <cstdint>

namespace vellumo::sync {

inline constexpr int kReconnectBelowHealth = -10;
inline constexpr std::uint32_t kHeartbeatIntervalMs = 20000;
inline constexpr int kUnansweredHeartbeatHealth = -1000;

class LinkHealth {
 public:
  // ConnectToServer: a new socket, nothing said on it yet.
  void OnConnectAttempt() noexcept {
    health_ = 1;
    helloCount_ = 0;
  }
  // The wait saw the socket readable, or failed.
  void OnReadableOrWaitError() noexcept { --health_; }
  void OnData() noexcept { health_ = 1; }
  // recv failed other than "would block" (also "not connected").
  void OnReceiveError() noexcept { --health_; }
  // A flush stopped on an error other than "would block".
  void OnSendError() noexcept { --health_; }

  // The socket is writable and idle with nothing said yet: send the preamble
  // and Hello now, then register every note.
  [[nodiscard]] bool ShouldGreet() const noexcept { return helloCount_ == 0; }
  void OnGreeted() noexcept { ++helloCount_; }
  [[nodiscard]] bool Connected() const noexcept { return helloCount_ >= 1; }

  // Checked once per pass, after the frames were handled; true means
  // reconnect now (health is reset to 0).
  [[nodiscard]] bool TakeReconnect() noexcept {
    if (health_ >= kReconnectBelowHealth) return false;
    health_ = 0;
    return true;
  }
  // A frame of impossible length: the stream has lost its framing.
  void OnProtocolError() noexcept { health_ = 0; }

  // Called when the wait timed out; true means send a Heartbeat now.  Ticks
  // are compared as a wrapping difference, so the 49.7-day wrap of the
  // millisecond counter costs at most one early or late heartbeat.
  [[nodiscard]] bool HeartbeatDue(std::uint32_t now) noexcept {
    if (started_ && static_cast<std::int32_t>(now - nextHeartbeat_) <= 0) return false;
    if (started_ && (nextHeartbeat_ & 1u) != 0) health_ = kUnansweredHeartbeatHealth;
    started_ = true;
    nextHeartbeat_ = (now + kHeartbeatIntervalMs) | 1u;
    return true;
  }
  void OnHeartbeatAnswer() noexcept {
    if ((nextHeartbeat_ & 1u) != 0) ++nextHeartbeat_;
  }

  [[nodiscard]] int health() const noexcept { return health_; }
  [[nodiscard]] bool AnswerOwed() const noexcept { return started_ && (nextHeartbeat_ & 1u) != 0; }

 private:
  int health_ = 0;
  std::uint32_t helloCount_ = 0;
  std::uint32_t nextHeartbeat_ = 0;
  bool started_ = false;  // the first heartbeat goes at the first idle second
};

}  // namespace vellumo::sync
