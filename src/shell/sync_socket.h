#pragma once
// Winsock for the sync engine: the library's lifetime and one non-blocking
// TCP socket, each released by its owner.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdint>
#include <span>
#include <string>

#include "sync/send_queue.h"

namespace vellumo::shell {

// WSAStartup 1.1 for the object's lifetime; ok() false when it failed, and
// then nothing of sync may run.
class WinsockLibrary {
 public:
  WinsockLibrary();
  ~WinsockLibrary();
  WinsockLibrary(const WinsockLibrary&) = delete;
  WinsockLibrary& operator=(const WinsockLibrary&) = delete;
  [[nodiscard]] bool ok() const noexcept { return ok_; }

 private:
  bool ok_ = false;
};

class SyncSocket {
 public:
  SyncSocket() = default;
  ~SyncSocket() { Close(); }
  SyncSocket(const SyncSocket&) = delete;
  SyncSocket& operator=(const SyncSocket&) = delete;

  // A new non-blocking socket with TCP_NODELAY, its connect under way.
  // False when the socket could not be made or the connect failed at once.
  bool Connect(const sockaddr_in& address);
  void Close() noexcept;
  [[nodiscard]] bool Open() const noexcept { return socket_ != INVALID_SOCKET; }
  [[nodiscard]] SOCKET handle() const noexcept { return socket_; }

  // One non-blocking send, in the queue's terms.
  [[nodiscard]] sync::SendAttempt Send(std::span<const std::uint8_t> bytes) const noexcept;

 private:
  SOCKET socket_ = INVALID_SOCKET;
};

// "host:port" as stored (ANSI), or the default endpoint when empty; without
// ":" the port is 8002.  False when the host does not resolve.
bool ResolveServerAddress(const std::string& stored, sockaddr_in& out);

}  // namespace vellumo::shell
