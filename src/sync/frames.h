#pragma once
// The sync wire protocol: the connection preamble and every frame in both
// directions, built and parsed by the same code so that client and server
// cannot drift apart.
//
// Connection: the client opens TCP (default port 8002), sends the preamble
// line, then Hello.  No answer to the line is expected.
//
//   preamble  "TCP /vmo001.js?<major>.<minor>\r\n\r\n", each number decimal
//             0..255 without leading zeros
//
// Frame, both directions (all integers little-endian):
//
//   OFFSET  SIZE        FIELD
//   0       4           total length L, header included, 6 <= L <= 131072
//   4       2           type
//   6       L - 6       payload
//
// A length below 6 cannot hold its own header and is treated like one above
// 131072: the stream has lost its framing and the connection must be dropped.
//
// Client -> server                                              L
//   8  Hello       client id u32, database id u32               14
//   0  Heartbeat   -                                            6
//   4  Register    note u32, SyncVerifier[20], sync id (d bytes 30 + d
//                  UTF-16LE, d even, 2..160)
//   1  Digest      note u32, NoteDigest[20]                     30
//   1  ListItem    note u32, item u32, ItemHash[20]             34
//   1  ListEnd     note u32, number of items listed u32         14
//   3  Announce    note u32, item u32, ItemHash[20]             34
//   6  Upload      note u32, ItemHash[20], sealed (D bytes,     30 + D
//                  D a multiple of 16, 16..102400)
//   2  DeleteHash  note u32, ItemHash[20]                       30
// The three frames of type 1 are told apart by their length alone.
//
// Server -> client                                              L
//   0  heartbeat answer                                         6 (+ pad)
//   4  Register status: note u32, status u16 (0 accepted)       12 (+ pad)
//   1  list request: note u32                                   10 (+ pad)
//   6  upload request: note u32, item u32                       14 (+ pad)
//   3  item for the client: note u32, sealed (L - 10 bytes)     10 + D
//   2  delete item: note u32, item u32                          14
//   2  delete by hash: note u32, ItemHash[20]                   30
//   7  notice: UTF-16LE text (L - 6 bytes)                      6 + n
// The client ignores other types.  Note and item ids are always the client's
// own; the server learns which sync ID a note id stands for from Register.
// A server may pad the frames marked "+ pad": the client reads their fields
// and ignores the bytes after them.  Builders never pad.
//
// Parsers check the length of every frame against its type before reading a
// field: a frame shorter than its type needs, or of a length its type does
// not have, is refused with a FrameError and nothing past the frame is read.
// The sealed bytes of an item for the client are passed on unjudged, so that
// an unusable item can be reported for its note (unsealing refuses it).
#include <cstddef>
#include <cstdint>
#include <span>
#include <variant>
#include <vector>

#include "sync/item_block.h"
#include "sync/sync_verifier.h"

namespace vellumo::sync {

inline constexpr std::uint16_t kDefaultSyncPort = 8002;
inline constexpr std::size_t kFrameHeaderBytes = 6;
inline constexpr std::size_t kFrameLengthBytes = 4;
inline constexpr std::size_t kMaxFrameBytes = 131072;
inline constexpr std::size_t kMaxSyncIdBytes = 160;
// A server notice is shown cut to this many bytes.
inline constexpr std::size_t kNoticeShownBytes = 250;

enum class ClientFrameType : std::uint16_t {
  kHeartbeat = 0,
  kList = 1,  // Digest, ListItem, ListEnd
  kDeleteHash = 2,
  kAnnounce = 3,
  kRegister = 4,
  kUpload = 6,
  kHello = 8,
};

enum class ServerFrameType : std::uint16_t {
  kHeartbeat = 0,
  kListRequest = 1,
  kDelete = 2,  // by item id or by hash, told apart by length
  kItem = 3,
  kRegisterStatus = 4,
  kUploadRequest = 6,
  kNotice = 7,
};

inline constexpr std::size_t kHelloFrameBytes = 14;
inline constexpr std::size_t kHeartbeatFrameBytes = 6;
inline constexpr std::size_t kRegisterFixedBytes = 30;
inline constexpr std::size_t kDigestFrameBytes = 30;
inline constexpr std::size_t kListItemFrameBytes = 34;
inline constexpr std::size_t kListEndFrameBytes = 14;
inline constexpr std::size_t kAnnounceFrameBytes = 34;
inline constexpr std::size_t kUploadFixedBytes = 30;
inline constexpr std::size_t kDeleteHashFrameBytes = 30;

inline constexpr std::size_t kRegisterStatusFrameBytes = 12;
inline constexpr std::size_t kListRequestFrameBytes = 10;
inline constexpr std::size_t kUploadRequestFrameBytes = 14;
inline constexpr std::size_t kServerItemFixedBytes = 10;
inline constexpr std::size_t kDeleteItemFrameBytes = 14;
inline constexpr std::size_t kDeleteHashRequestFrameBytes = 30;
inline constexpr std::size_t kNoticeFixedBytes = 6;

enum class FrameError : int {
  kOk = 0,
  kIncomplete = 1,        // scanning: more bytes are needed for the frame
  kLengthOutOfRange = 2,  // length field below 6 or above 131072: drop the connection
  kLengthMismatch = 3,    // the bytes given to a parser are not exactly one frame
  kTooShort = 4,          // shorter than its type needs
  kBadSize = 5,           // a length its type does not have (also refused by builders)
  kUnknownType = 6,       // a type this direction does not define; the client ignores it
  kBadPreamble = 7,       // not the preamble line
};

using Frame = std::vector<std::uint8_t>;

// ---- Client -> server.  Spans are views into the parsed frame or, when
// building, into the caller's bytes.

struct Hello {
  std::uint32_t clientId = 0;
  std::uint32_t databaseId = 0;
};
struct Heartbeat {};
struct Register {
  std::uint32_t noteId = 0;
  SyncVerifierValue verifier{};
  std::span<const std::uint8_t> syncId;  // UTF-16LE, even, 2..160 bytes
};
struct Digest {
  std::uint32_t noteId = 0;
  NoteDigestValue digest{};
};
struct ListItem {
  std::uint32_t noteId = 0;
  std::uint32_t itemId = 0;
  ItemHashValue hash{};
};
struct ListEnd {
  std::uint32_t noteId = 0;
  std::uint32_t itemCount = 0;
};
struct Announce {
  std::uint32_t noteId = 0;
  std::uint32_t itemId = 0;
  ItemHashValue hash{};
};
struct Upload {
  std::uint32_t noteId = 0;
  ItemHashValue hash{};
  std::span<const std::uint8_t> sealed;  // whole 16-byte blocks, 16..102400 bytes
};
struct DeleteHash {
  std::uint32_t noteId = 0;
  ItemHashValue hash{};
};

using ClientMessage =
    std::variant<Hello, Heartbeat, Register, Digest, ListItem, ListEnd, Announce, Upload, DeleteHash>;

// ---- Server -> client.

struct HeartbeatAnswer {};
struct RegisterStatus {
  std::uint32_t noteId = 0;
  std::uint16_t status = 0;  // 0 accepted, otherwise the error code to show
};
struct ListRequest {
  std::uint32_t noteId = 0;
};
struct UploadRequest {
  std::uint32_t noteId = 0;
  std::uint32_t itemId = 0;
};
struct ServerItem {
  std::uint32_t noteId = 0;
  std::span<const std::uint8_t> sealed;  // any size when parsed; unsealing judges it
};
struct DeleteItemRequest {
  std::uint32_t noteId = 0;
  std::uint32_t itemId = 0;
};
struct DeleteHashRequest {
  std::uint32_t noteId = 0;
  ItemHashValue hash{};
};
struct ServerNotice {
  std::span<const std::uint8_t> text;  // UTF-16LE; built even, parsed as sent
};

using ServerMessage = std::variant<HeartbeatAnswer, RegisterStatus, ListRequest, UploadRequest,
                                   ServerItem, DeleteItemRequest, DeleteHashRequest, ServerNotice>;

// Error codes carried by a Register status or raised by the client itself.
inline constexpr std::uint16_t kSyncErrorIdOrPassword = 1;
inline constexpr std::uint16_t kSyncErrorIdInUse = 2;
inline constexpr std::uint16_t kSyncErrorServerBusy = 3;
inline constexpr std::uint16_t kSyncErrorTooManyAttempts = 4;
inline constexpr std::uint16_t kSyncErrorVersionTooOld = 5;
inline constexpr std::uint16_t kSyncErrorServerUnknown = 9;
inline constexpr std::uint16_t kSyncErrorBadServerData = 21;

// ---- Building.  On failure out is empty.  Only std::bad_alloc is thrown.

[[nodiscard]] FrameError BuildFrame(const ClientMessage& message, Frame& out);
[[nodiscard]] FrameError BuildFrame(const ServerMessage& message, Frame& out);

// ---- Parsing.

// Looks at the start of a receive buffer.  kOk sets frameBytes to the length
// of the first frame, which is wholly inside buffered; kIncomplete asks for
// more bytes; kLengthOutOfRange means the connection must be dropped.
[[nodiscard]] FrameError ScanFrame(std::span<const std::uint8_t> buffered,
                                   std::size_t& frameBytes) noexcept;

// frame must be exactly one frame (as ScanFrame delimits it).  Spans in out
// view frame.  kUnknownType leaves out unchanged.
[[nodiscard]] FrameError ParseClientFrame(std::span<const std::uint8_t> frame,
                                          ClientMessage& out) noexcept;
[[nodiscard]] FrameError ParseServerFrame(std::span<const std::uint8_t> frame,
                                          ServerMessage& out) noexcept;

// The part of a notice that is shown: at most kNoticeShownBytes.
[[nodiscard]] inline std::span<const std::uint8_t> ShownNoticeText(
    std::span<const std::uint8_t> text) noexcept {
  return text.first(text.size() < kNoticeShownBytes ? text.size() : kNoticeShownBytes);
}

// ---- Preamble.

struct ProgramVersion {
  std::uint8_t majorVersion = 0;
  std::uint8_t minorVersion = 0;
  friend bool operator==(const ProgramVersion&, const ProgramVersion&) = default;
};

// From the most significant 32 bits of the file version (major << 16 | minor):
// the low byte of each half, so file version 3.4 gives 3.4.
[[nodiscard]] constexpr ProgramVersion VersionFromFileVersionMs(std::uint32_t fileVersionMs) noexcept {
  return {static_cast<std::uint8_t>(fileVersionMs >> 16), static_cast<std::uint8_t>(fileVersionMs)};
}

[[nodiscard]] Frame BuildPreamble(ProgramVersion version);

// Reads the preamble at the start of what a server received.  kOk sets
// version and consumedBytes (the frames follow); kIncomplete means buffered
// is still a prefix of some valid line; kBadPreamble that it cannot become
// one.  Never reads more than the longest valid line.
[[nodiscard]] FrameError ParsePreamble(std::span<const std::uint8_t> buffered, ProgramVersion& version,
                                       std::size_t& consumedBytes) noexcept;

// ---- Identifiers.

// A random 32-bit identifier for Hello (the per-user client id and the
// per-database id), drawn from the system's cryptographic generator so that
// two installations cannot collide through a shared seed.  False when the
// generator failed; id is then 0 and must not be kept.
[[nodiscard]] bool DrawIdentifier(std::uint32_t& id) noexcept;

}  // namespace vellumo::sync
