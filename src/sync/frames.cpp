#include "sync/frames.h"

#include <string>
#include <string_view>
#include <type_traits>

#include "platform/bytes.h"
#include "platform/secure_random.h"
#include "sync/byte_io.h"
#include "sync/sealing.h"

namespace vellumo::sync {

namespace {

static_assert(kRegisterFixedBytes == kFrameHeaderBytes + 4 + kSha1DigestBytes);
static_assert(kUploadFixedBytes == kFrameHeaderBytes + 4 + kSha1DigestBytes);
static_assert(kListItemFrameBytes == kFrameHeaderBytes + 8 + kSha1DigestBytes);
static_assert(kUploadFixedBytes + kMaxSealedBytes <= kMaxFrameBytes);
// The three kinds of type-1 client frame must keep distinct lengths.
static_assert(kDigestFrameBytes != kListItemFrameBytes && kDigestFrameBytes != kListEndFrameBytes &&
              kListItemFrameBytes != kListEndFrameBytes);
static_assert(kDeleteItemFrameBytes != kDeleteHashRequestFrameBytes);

constexpr std::string_view kPreamblePrefix = "TCP /vmo001.js?";
constexpr std::string_view kPreambleEnd = "\r\n\r\n";

// Writes a frame whose payload the caller appends; Finish stores the length.
class FrameWriter {
 public:
  FrameWriter(Frame& out, std::uint16_t type) : out_(out), w_(out) {
    out_.clear();
    w_.U32(0);
    w_.U16(type);
  }
  ByteWriter& payload() noexcept { return w_; }
  void Finish() noexcept { StoreU32LE(out_.data(), static_cast<std::uint32_t>(out_.size())); }

 private:
  Frame& out_;
  ByteWriter w_;
};

bool SealedSizeAllowed(std::size_t sizeBytes) noexcept {
  return sizeBytes != 0 && sizeBytes <= kMaxSealedBytes && sizeBytes % kSealBlockBytes == 0;
}

bool SyncIdSizeAllowed(std::size_t sizeBytes) noexcept {
  return sizeBytes != 0 && sizeBytes <= kMaxSyncIdBytes && sizeBytes % 2 == 0;
}

template <typename E>
std::uint16_t TypeOf(E type) noexcept {
  return static_cast<std::uint16_t>(type);
}

// Fixed-length frames must have exactly their length.
FrameError ExpectSize(std::size_t sizeBytes, std::size_t wantBytes) noexcept {
  if (sizeBytes < wantBytes) return FrameError::kTooShort;
  if (sizeBytes > wantBytes) return FrameError::kBadSize;
  return FrameError::kOk;
}

// Checks the header of exactly one frame and positions r after it.
FrameError OpenFrame(std::span<const std::uint8_t> frame, ByteReader& r, std::uint16_t& type) noexcept {
  std::size_t frameBytes = 0;
  const FrameError scan = ScanFrame(frame, frameBytes);
  if (scan == FrameError::kIncomplete) return FrameError::kTooShort;
  if (scan != FrameError::kOk) return scan;
  if (frameBytes != frame.size()) return FrameError::kLengthMismatch;
  (void)r.U32();
  type = r.U16();
  return FrameError::kOk;
}

}  // namespace

FrameError BuildFrame(const ClientMessage& message, Frame& out) {
  out.clear();
  return std::visit(
      [&out](const auto& m) -> FrameError {
        using M = std::decay_t<decltype(m)>;
        if constexpr (std::is_same_v<M, Hello>) {
          FrameWriter f(out, TypeOf(ClientFrameType::kHello));
          f.payload().U32(m.clientId);
          f.payload().U32(m.databaseId);
          f.Finish();
        } else if constexpr (std::is_same_v<M, Heartbeat>) {
          FrameWriter f(out, TypeOf(ClientFrameType::kHeartbeat));
          f.Finish();
        } else if constexpr (std::is_same_v<M, Register>) {
          if (!SyncIdSizeAllowed(m.syncId.size())) return FrameError::kBadSize;
          FrameWriter f(out, TypeOf(ClientFrameType::kRegister));
          f.payload().U32(m.noteId);
          f.payload().Bytes(m.verifier);
          f.payload().Bytes(m.syncId);
          f.Finish();
        } else if constexpr (std::is_same_v<M, Digest>) {
          FrameWriter f(out, TypeOf(ClientFrameType::kList));
          f.payload().U32(m.noteId);
          f.payload().Bytes(m.digest);
          f.Finish();
        } else if constexpr (std::is_same_v<M, ListItem>) {
          FrameWriter f(out, TypeOf(ClientFrameType::kList));
          f.payload().U32(m.noteId);
          f.payload().U32(m.itemId);
          f.payload().Bytes(m.hash);
          f.Finish();
        } else if constexpr (std::is_same_v<M, ListEnd>) {
          FrameWriter f(out, TypeOf(ClientFrameType::kList));
          f.payload().U32(m.noteId);
          f.payload().U32(m.itemCount);
          f.Finish();
        } else if constexpr (std::is_same_v<M, Announce>) {
          FrameWriter f(out, TypeOf(ClientFrameType::kAnnounce));
          f.payload().U32(m.noteId);
          f.payload().U32(m.itemId);
          f.payload().Bytes(m.hash);
          f.Finish();
        } else if constexpr (std::is_same_v<M, Upload>) {
          if (!SealedSizeAllowed(m.sealed.size())) return FrameError::kBadSize;
          FrameWriter f(out, TypeOf(ClientFrameType::kUpload));
          f.payload().U32(m.noteId);
          f.payload().Bytes(m.hash);
          f.payload().Bytes(m.sealed);
          f.Finish();
        } else {
          static_assert(std::is_same_v<M, DeleteHash>);
          FrameWriter f(out, TypeOf(ClientFrameType::kDeleteHash));
          f.payload().U32(m.noteId);
          f.payload().Bytes(m.hash);
          f.Finish();
        }
        return FrameError::kOk;
      },
      message);
}

FrameError BuildFrame(const ServerMessage& message, Frame& out) {
  out.clear();
  return std::visit(
      [&out](const auto& m) -> FrameError {
        using M = std::decay_t<decltype(m)>;
        if constexpr (std::is_same_v<M, HeartbeatAnswer>) {
          FrameWriter f(out, TypeOf(ServerFrameType::kHeartbeat));
          f.Finish();
        } else if constexpr (std::is_same_v<M, RegisterStatus>) {
          FrameWriter f(out, TypeOf(ServerFrameType::kRegisterStatus));
          f.payload().U32(m.noteId);
          f.payload().U16(m.status);
          f.Finish();
        } else if constexpr (std::is_same_v<M, ListRequest>) {
          FrameWriter f(out, TypeOf(ServerFrameType::kListRequest));
          f.payload().U32(m.noteId);
          f.Finish();
        } else if constexpr (std::is_same_v<M, UploadRequest>) {
          FrameWriter f(out, TypeOf(ServerFrameType::kUploadRequest));
          f.payload().U32(m.noteId);
          f.payload().U32(m.itemId);
          f.Finish();
        } else if constexpr (std::is_same_v<M, ServerItem>) {
          // The server only relays what a client uploaded, so it is held to
          // the same sizes.
          if (!SealedSizeAllowed(m.sealed.size())) return FrameError::kBadSize;
          FrameWriter f(out, TypeOf(ServerFrameType::kItem));
          f.payload().U32(m.noteId);
          f.payload().Bytes(m.sealed);
          f.Finish();
        } else if constexpr (std::is_same_v<M, DeleteItemRequest>) {
          FrameWriter f(out, TypeOf(ServerFrameType::kDelete));
          f.payload().U32(m.noteId);
          f.payload().U32(m.itemId);
          f.Finish();
        } else if constexpr (std::is_same_v<M, DeleteHashRequest>) {
          FrameWriter f(out, TypeOf(ServerFrameType::kDelete));
          f.payload().U32(m.noteId);
          f.payload().Bytes(m.hash);
          f.Finish();
        } else {
          static_assert(std::is_same_v<M, ServerNotice>);
          if (m.text.size() % 2 != 0 || m.text.size() > kMaxFrameBytes - kNoticeFixedBytes) {
            return FrameError::kBadSize;
          }
          FrameWriter f(out, TypeOf(ServerFrameType::kNotice));
          f.payload().Bytes(m.text);
          f.Finish();
        }
        return FrameError::kOk;
      },
      message);
}

FrameError ScanFrame(std::span<const std::uint8_t> buffered, std::size_t& frameBytes) noexcept {
  frameBytes = 0;
  if (buffered.size() < kFrameLengthBytes) return FrameError::kIncomplete;
  // Read unsigned: a length that is negative as a signed 32-bit value is
  // above the maximum here, and refused the same way.
  const std::uint32_t length = LoadU32LE(buffered.data());
  if (length < kFrameHeaderBytes || length > kMaxFrameBytes) return FrameError::kLengthOutOfRange;
  if (buffered.size() < length) return FrameError::kIncomplete;
  frameBytes = length;
  return FrameError::kOk;
}

FrameError ParseClientFrame(std::span<const std::uint8_t> frame, ClientMessage& out) noexcept {
  ByteReader r(frame);
  std::uint16_t type = 0;
  if (const FrameError e = OpenFrame(frame, r, type); e != FrameError::kOk) return e;
  const std::size_t size = frame.size();
  FrameError e = FrameError::kOk;

  switch (static_cast<ClientFrameType>(type)) {
    case ClientFrameType::kHello: {
      if ((e = ExpectSize(size, kHelloFrameBytes)) != FrameError::kOk) return e;
      Hello m;
      m.clientId = r.U32();
      m.databaseId = r.U32();
      out = m;
      break;
    }
    case ClientFrameType::kHeartbeat:
      if ((e = ExpectSize(size, kHeartbeatFrameBytes)) != FrameError::kOk) return e;
      out = Heartbeat{};
      break;
    case ClientFrameType::kRegister: {
      if (size < kRegisterFixedBytes + 2) return FrameError::kTooShort;
      if (!SyncIdSizeAllowed(size - kRegisterFixedBytes)) return FrameError::kBadSize;
      Register m;
      m.noteId = r.U32();
      r.Fixed(m.verifier);
      m.syncId = r.Rest();
      out = m;
      break;
    }
    case ClientFrameType::kList:
      if (size == kDigestFrameBytes) {
        Digest m;
        m.noteId = r.U32();
        r.Fixed(m.digest);
        out = m;
      } else if (size == kListItemFrameBytes) {
        ListItem m;
        m.noteId = r.U32();
        m.itemId = r.U32();
        r.Fixed(m.hash);
        out = m;
      } else if (size == kListEndFrameBytes) {
        ListEnd m;
        m.noteId = r.U32();
        m.itemCount = r.U32();
        out = m;
      } else {
        return size < kListEndFrameBytes ? FrameError::kTooShort : FrameError::kBadSize;
      }
      break;
    case ClientFrameType::kAnnounce: {
      if ((e = ExpectSize(size, kAnnounceFrameBytes)) != FrameError::kOk) return e;
      Announce m;
      m.noteId = r.U32();
      m.itemId = r.U32();
      r.Fixed(m.hash);
      out = m;
      break;
    }
    case ClientFrameType::kUpload: {
      if (size < kUploadFixedBytes + kSealBlockBytes) return FrameError::kTooShort;
      if (!SealedSizeAllowed(size - kUploadFixedBytes)) return FrameError::kBadSize;
      Upload m;
      m.noteId = r.U32();
      r.Fixed(m.hash);
      m.sealed = r.Rest();
      out = m;
      break;
    }
    case ClientFrameType::kDeleteHash: {
      if ((e = ExpectSize(size, kDeleteHashFrameBytes)) != FrameError::kOk) return e;
      DeleteHash m;
      m.noteId = r.U32();
      r.Fixed(m.hash);
      out = m;
      break;
    }
    default:
      return FrameError::kUnknownType;
  }
  // Every size was checked against the type, so the reads stayed inside.
  return r.ok() && r.AtEnd() ? FrameError::kOk : FrameError::kBadSize;
}

FrameError ParseServerFrame(std::span<const std::uint8_t> frame, ServerMessage& out) noexcept {
  ByteReader r(frame);
  std::uint16_t type = 0;
  if (const FrameError e = OpenFrame(frame, r, type); e != FrameError::kOk) return e;
  const std::size_t size = frame.size();
  // Set for the types whose fields are read and whatever follows ignored.
  bool padAllowed = false;

  switch (static_cast<ServerFrameType>(type)) {
    case ServerFrameType::kHeartbeat:
      // OpenFrame already holds every frame to its six header bytes.
      out = HeartbeatAnswer{};
      padAllowed = true;
      break;
    case ServerFrameType::kRegisterStatus: {
      if (size < kRegisterStatusFrameBytes) return FrameError::kTooShort;
      RegisterStatus m;
      m.noteId = r.U32();
      m.status = r.U16();
      out = m;
      padAllowed = true;
      break;
    }
    case ServerFrameType::kListRequest: {
      if (size < kListRequestFrameBytes) return FrameError::kTooShort;
      ListRequest m;
      m.noteId = r.U32();
      out = m;
      padAllowed = true;
      break;
    }
    case ServerFrameType::kUploadRequest: {
      if (size < kUploadRequestFrameBytes) return FrameError::kTooShort;
      UploadRequest m;
      m.noteId = r.U32();
      m.itemId = r.U32();
      out = m;
      padAllowed = true;
      break;
    }
    case ServerFrameType::kItem: {
      if (size < kServerItemFixedBytes) return FrameError::kTooShort;
      ServerItem m;
      m.noteId = r.U32();
      m.sealed = r.Rest();
      out = m;
      break;
    }
    case ServerFrameType::kDelete:
      // Told apart by length alone, so both lengths are exact.
      if (size == kDeleteItemFrameBytes) {
        DeleteItemRequest m;
        m.noteId = r.U32();
        m.itemId = r.U32();
        out = m;
      } else if (size == kDeleteHashRequestFrameBytes) {
        DeleteHashRequest m;
        m.noteId = r.U32();
        r.Fixed(m.hash);
        out = m;
      } else {
        return size < kDeleteItemFrameBytes ? FrameError::kTooShort : FrameError::kBadSize;
      }
      break;
    case ServerFrameType::kNotice: {
      ServerNotice m;
      m.text = r.Rest();
      out = m;
      break;
    }
    default:
      return FrameError::kUnknownType;
  }
  return r.ok() && (padAllowed || r.AtEnd()) ? FrameError::kOk : FrameError::kBadSize;
}

Frame BuildPreamble(ProgramVersion version) {
  std::string line(kPreamblePrefix);
  line += std::to_string(version.majorVersion);
  line += '.';
  line += std::to_string(version.minorVersion);
  line += kPreambleEnd;
  return Frame(line.begin(), line.end());
}

namespace {

// Reads one decimal 0..255 without leading zeros at pos.  kIncomplete when
// the buffer ends while the number could still go on.
FrameError ReadVersionNumber(std::span<const std::uint8_t> in, std::size_t& pos,
                             std::uint8_t& value) noexcept {
  unsigned v = 0;
  std::size_t digits = 0;
  while (true) {
    if (pos >= in.size()) return FrameError::kIncomplete;
    const std::uint8_t c = in[pos];
    if (c < '0' || c > '9') break;
    if (digits == 1 && v == 0) return FrameError::kBadPreamble;  // leading zero
    v = v * 10 + static_cast<unsigned>(c - '0');
    if (++digits > 3 || v > 255) return FrameError::kBadPreamble;
    ++pos;
  }
  if (digits == 0) return FrameError::kBadPreamble;
  value = static_cast<std::uint8_t>(v);
  return FrameError::kOk;
}

FrameError ReadLiteral(std::span<const std::uint8_t> in, std::size_t& pos, std::string_view text) noexcept {
  for (const char c : text) {
    if (pos >= in.size()) return FrameError::kIncomplete;
    if (in[pos] != static_cast<std::uint8_t>(c)) return FrameError::kBadPreamble;
    ++pos;
  }
  return FrameError::kOk;
}

}  // namespace

FrameError ParsePreamble(std::span<const std::uint8_t> buffered, ProgramVersion& version,
                         std::size_t& consumedBytes) noexcept {
  consumedBytes = 0;
  std::size_t pos = 0;
  ProgramVersion v;
  FrameError e = FrameError::kOk;
  if ((e = ReadLiteral(buffered, pos, kPreamblePrefix)) != FrameError::kOk) return e;
  if ((e = ReadVersionNumber(buffered, pos, v.majorVersion)) != FrameError::kOk) return e;
  if ((e = ReadLiteral(buffered, pos, ".")) != FrameError::kOk) return e;
  if ((e = ReadVersionNumber(buffered, pos, v.minorVersion)) != FrameError::kOk) return e;
  if ((e = ReadLiteral(buffered, pos, kPreambleEnd)) != FrameError::kOk) return e;
  version = v;
  consumedBytes = pos;
  return FrameError::kOk;
}

bool DrawIdentifier(std::uint32_t& id) noexcept {
  std::uint8_t bytes[4];
  id = 0;
  if (!platform::FillSecureRandom(bytes)) return false;
  id = LoadU32LE(bytes);
  return true;
}

}  // namespace vellumo::sync
