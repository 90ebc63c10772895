#pragma once
// The network side: a TCP listener and one Session per connection, all on a
// pool of threads (Asio, C++20 coroutines).  Each connection runs on its own
// strand, so its session, its outgoing queue and its socket are only ever
// touched by one thread at a time; other connections reach it by posting
// frames to that strand.
//
// Sessions run on a second pool (storeThreads), since their store calls wait
// for the disk and new accounts for Argon2id; the connection's strand is
// free meanwhile to write out what others push to it.
//
// Limits, each ending only the connection concerned:
//   - more than maxConnections at once: the newcomer is answered status 3
//     on every Register for busyGrace, then closed (a few such at most;
//     beyond those it is closed at once);
//   - frames outside 6..131072 bytes or malformed: closed (Session);
//   - nothing read for idleTimeout (the client beats every 20 s), or
//     nothing at all for handshakeTimeout after connecting: closed;
//   - outgoing bytes queued above maxQueuedBytes by other connections'
//     pushes, or queued bytes not moving for writeStall: a slow reader,
//     closed.  The connection's own replies pause its reading instead.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "session.h"

namespace vellumo::syncd {

struct ServerConfig {
  std::string host = "0.0.0.0";
  std::uint16_t port = sync::kDefaultSyncPort;  // 0: any free port (tests)
  std::size_t threads = 0;                     // 0: one per core
  std::size_t storeThreads = 4;                // run sessions: store calls, password hashing
  std::size_t maxConnections = 20000;
  std::size_t maxQueuedBytes = 32u << 20;
  std::chrono::milliseconds idleTimeout{90000};
  std::chrono::milliseconds handshakeTimeout{10000};  // first bytes must come by then
  std::chrono::milliseconds writeStall{30000};
  std::chrono::milliseconds busyGrace{2000};
  std::chrono::milliseconds watchdogPeriod{1000};
};

class SyncServer {
 public:
  // Binds the listening socket; throws std::system_error when it cannot.
  SyncServer(ServerConfig config, Services& services);
  ~SyncServer();
  SyncServer(const SyncServer&) = delete;
  SyncServer& operator=(const SyncServer&) = delete;

  [[nodiscard]] std::uint16_t port() const noexcept;
  // Serves on the thread pool until Stop.
  void Start();
  void Stop();
  [[nodiscard]] std::size_t connections() const noexcept;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace vellumo::syncd
