#include "shell/sync_socket.h"

#include <cstdlib>
#include <cstring>

#include "sync/frames.h"

namespace vellumo::shell {
namespace {

// Where a program with no stored server address connects.  Builds for a
// hosted service set this to its host name.
#ifndef VELLUMO_DEFAULT_SYNC_HOST
#define VELLUMO_DEFAULT_SYNC_HOST "localhost"
#endif

}  // namespace

WinsockLibrary::WinsockLibrary() {
  WSADATA data{};
  ok_ = ::WSAStartup(MAKEWORD(1, 1), &data) == 0;
}

WinsockLibrary::~WinsockLibrary() {
  if (ok_) ::WSACleanup();
}

bool SyncSocket::Connect(const sockaddr_in& address) {
  Close();
  socket_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (socket_ == INVALID_SOCKET) return false;
  u_long nonBlocking = 1;
  BOOL noDelay = TRUE;
  if (::ioctlsocket(socket_, FIONBIO, &nonBlocking) != 0 ||
      ::setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay) != 0) {
    Close();
    return false;
  }
  if (::connect(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 &&
      ::WSAGetLastError() != WSAEWOULDBLOCK) {
    Close();
    return false;
  }
  return true;
}

void SyncSocket::Close() noexcept {
  if (socket_ != INVALID_SOCKET) ::closesocket(socket_);
  socket_ = INVALID_SOCKET;
}

sync::SendAttempt SyncSocket::Send(std::span<const std::uint8_t> bytes) const noexcept {
  if (socket_ == INVALID_SOCKET) return {sync::SendStatus::kError, 0};
  const int chunk = bytes.size() > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(bytes.size());
  const int sent = ::send(socket_, reinterpret_cast<const char*>(bytes.data()), chunk, 0);
  if (sent == SOCKET_ERROR) {
    return ::WSAGetLastError() == WSAEWOULDBLOCK ? sync::SendAttempt{sync::SendStatus::kWouldBlock, 0}
                                                 : sync::SendAttempt{sync::SendStatus::kError, 0};
  }
  return {sync::SendStatus::kTaken, static_cast<std::size_t>(sent)};
}

bool ResolveServerAddress(const std::string& stored, sockaddr_in& out) {
  std::string host = stored.empty() ? std::string(VELLUMO_DEFAULT_SYNC_HOST) : stored;
  unsigned long port = sync::kDefaultSyncPort;
  if (const auto colon = host.find(':'); colon != std::string::npos) {
    port = std::strtoul(host.c_str() + colon + 1, nullptr, 10);
    host.resize(colon);
  }
  if (host.empty() || port == 0 || port > 65535) return false;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return false;
  std::memcpy(&out, found->ai_addr, sizeof out);
  ::freeaddrinfo(found);
  out.sin_port = ::htons(static_cast<u_short>(port));
  return true;
}

}  // namespace vellumo::shell
