#pragma once
// A scripted sync client over a real TCP socket (blocking, with a receive
// time-out), for driving the server the way vellumo.exe does.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "sync/frames.h"

namespace vellumo::syncd::testing {

class ScriptClient {
 public:
  // sourceAddress: the loopback address to send from (127.0.0.x), so that
  // one machine can play clients at several addresses.
  // receiveBuffer (bytes, 0: the system's) is set before connecting, so a
  // client that does not read fills up early.
  explicit ScriptClient(std::uint16_t port, const char* sourceAddress = "127.0.0.1", int receiveBuffer = 0) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd_ < 0) throw std::runtime_error("socket");
    if (receiveBuffer > 0) ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in source{};
    source.sin_family = AF_INET;
    ::inet_pton(AF_INET, sourceAddress, &source.sin_addr);
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&source), sizeof source) != 0) throw std::runtime_error("bind");
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    ::inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) throw std::runtime_error("connect");
    int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  }
  ~ScriptClient() {
    if (fd_ >= 0) ::close(fd_);
  }
  ScriptClient(const ScriptClient&) = delete;
  ScriptClient& operator=(const ScriptClient&) = delete;

  // False when the server has closed the connection.
  bool Send(const std::vector<std::uint8_t>& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
      const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) return false;
      sent += static_cast<std::size_t>(n);
    }
    return true;
  }

  enum class Got { kFrame, kTimeout, kClosed };

  // The next whole frame from the server.
  Got Receive(sync::Frame& frame, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      std::size_t frameBytes = 0;
      const auto scan = sync::ScanFrame(buffer_, frameBytes);
      if (scan == sync::FrameError::kOk) {
        frame.assign(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(frameBytes));
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(frameBytes));
        return Got::kFrame;
      }
      if (scan != sync::FrameError::kIncomplete) throw std::runtime_error("server sent a bad frame length");
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return Got::kTimeout;
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) return Got::kTimeout;
      std::uint8_t chunk[65536];
      const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
      if (n <= 0) return Got::kClosed;
      buffer_.insert(buffer_.end(), chunk, chunk + n);
    }
  }

  // Reads and drops whatever arrives until the server closes (true) or the
  // time runs out (false).
  bool DrainUntilClosed(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
      std::uint8_t chunk[65536];
      if (::recv(fd_, chunk, sizeof chunk, 0) <= 0) return true;
    }
  }

 private:
  int fd_ = -1;
  std::vector<std::uint8_t> buffer_;
};

}  // namespace vellumo::syncd::testing
