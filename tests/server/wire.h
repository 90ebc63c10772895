#pragma once
// Frames as the tests write them: one call per client or server frame, with
// made-up verifiers, hashes and sealed bytes (the server never opens them).
#include <cstdint>
#include <stdexcept>
#include <type_traits>
#include <variant>
#include <string>
#include <vector>

#include "sync/frames.h"

namespace vellumo::syncd::testing {

using sync::Frame;

inline Frame Build(const sync::ClientMessage& m) {
  Frame f;
  if (sync::BuildFrame(m, f) != sync::FrameError::kOk) throw std::logic_error("test frame does not build");
  return f;
}
inline Frame Build(const sync::ServerMessage& m) {
  Frame f;
  if (sync::BuildFrame(m, f) != sync::FrameError::kOk) throw std::logic_error("test frame does not build");
  return f;
}

inline sync::Sha1Digest Filled(std::uint8_t seed) {
  sync::Sha1Digest d{};
  for (std::size_t i = 0; i < d.size(); ++i) d[i] = static_cast<std::uint8_t>(seed + i * 7);
  return d;
}
// Stand-ins: verifier of password n, hash of item n, sealed bytes of item n.
inline sync::SyncVerifierValue V(int n) { return Filled(static_cast<std::uint8_t>(0x40 + n)); }
inline sync::ItemHashValue H(int n) { return Filled(static_cast<std::uint8_t>(n)); }
inline std::vector<std::uint8_t> S(int n, std::size_t bytes = 48) {
  std::vector<std::uint8_t> s(bytes);
  for (std::size_t i = 0; i < s.size(); ++i) s[i] = static_cast<std::uint8_t>(n * 31 + i);
  return s;
}
inline std::vector<std::uint8_t> Id(const std::string& ascii) {
  std::vector<std::uint8_t> out;
  for (char c : ascii) {
    out.push_back(static_cast<std::uint8_t>(c));
    out.push_back(0);
  }
  return out;
}

inline Frame Preamble(std::uint8_t major = 1, std::uint8_t minor = 0) {
  return sync::BuildPreamble({major, minor});
}
inline Frame Hello() { return Build(sync::Hello{0x1234, 0x5678}); }
inline Frame Heartbeat() { return Build(sync::Heartbeat{}); }
// The sync ID bytes must outlive the call only; Build copies them.
inline Frame Register(std::uint32_t note, const std::string& syncId, int password) {
  const auto id = Id(syncId);
  return Build(sync::Register{note, V(password), id});
}
inline Frame Digest(std::uint32_t note, std::initializer_list<int> items) {
  std::vector<sync::ItemHashValue> hashes;
  for (int n : items) hashes.push_back(H(n));
  return Build(sync::Digest{note, sync::NoteDigest(hashes)});
}
inline Frame ListItem(std::uint32_t note, std::uint32_t item, int n) { return Build(sync::ListItem{note, item, H(n)}); }
inline Frame ListEnd(std::uint32_t note, std::uint32_t count) { return Build(sync::ListEnd{note, count}); }
inline Frame Announce(std::uint32_t note, std::uint32_t item, int n) { return Build(sync::Announce{note, item, H(n)}); }
inline Frame Upload(std::uint32_t note, int n) {
  const auto sealed = S(n);
  return Build(sync::Upload{note, H(n), sealed});
}
inline Frame DeleteHash(std::uint32_t note, int n) { return Build(sync::DeleteHash{note, H(n)}); }

inline Frame Answer() { return Build(sync::HeartbeatAnswer{}); }
inline Frame Status(std::uint32_t note, std::uint16_t status) { return Build(sync::RegisterStatus{note, status}); }
inline Frame ListRequest(std::uint32_t note) { return Build(sync::ListRequest{note}); }
inline Frame UploadRequest(std::uint32_t note, std::uint32_t item) { return Build(sync::UploadRequest{note, item}); }
inline Frame Item(std::uint32_t note, int n) {
  const auto sealed = S(n);
  return Build(sync::ServerItem{note, sealed});
}
inline Frame DeleteItem(std::uint32_t note, std::uint32_t item) { return Build(sync::DeleteItemRequest{note, item}); }
inline Frame DeleteByHash(std::uint32_t note, int n) { return Build(sync::DeleteHashRequest{note, H(n)}); }

// A readable name for a server frame, for failure messages.
inline std::string Describe(const Frame& frame) {
  sync::ServerMessage m;
  if (sync::ParseServerFrame(frame, m) != sync::FrameError::kOk) return "unparsable(" + std::to_string(frame.size()) + ")";
  return std::visit(
      [&](const auto& x) -> std::string {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<T, sync::HeartbeatAnswer>) return "Answer";
        else if constexpr (std::is_same_v<T, sync::RegisterStatus>)
          return "Status(" + std::to_string(x.noteId) + "," + std::to_string(x.status) + ")";
        else if constexpr (std::is_same_v<T, sync::ListRequest>) return "ListRequest(" + std::to_string(x.noteId) + ")";
        else if constexpr (std::is_same_v<T, sync::UploadRequest>)
          return "UploadRequest(" + std::to_string(x.noteId) + "," + std::to_string(x.itemId) + ")";
        else if constexpr (std::is_same_v<T, sync::ServerItem>)
          return "Item(" + std::to_string(x.noteId) + ", first byte " + std::to_string(x.sealed.empty() ? -1 : x.sealed[0]) + ")";
        else if constexpr (std::is_same_v<T, sync::DeleteItemRequest>)
          return "DeleteItem(" + std::to_string(x.noteId) + "," + std::to_string(x.itemId) + ")";
        else if constexpr (std::is_same_v<T, sync::DeleteHashRequest>)
          return "DeleteByHash(" + std::to_string(x.noteId) + ", hash byte " + std::to_string(x.hash[0]) + ")";
        else return "Notice";
      },
      m);
}

}  // namespace vellumo::syncd::testing
