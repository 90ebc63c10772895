#include "sync/frames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/bytes.h"

namespace vellumo::sync {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::array<std::uint8_t, 20> Pattern(std::uint8_t seed) {
  std::array<std::uint8_t, 20> a{};
  for (std::size_t i = 0; i < a.size(); ++i) a[i] = static_cast<std::uint8_t>(seed + i * 7);
  return a;
}

Bytes Seq(std::size_t n, std::uint8_t seed) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(seed + i * 13);
  return b;
}

bool SameSpan(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) {
  return std::ranges::equal(a, b);
}

// Field-wise equality, so a round trip proves every field survived.
bool Same(const ClientMessage& x, const ClientMessage& y) {
  if (x.index() != y.index()) return false;
  return std::visit(
      [&y](const auto& a) {
        using M = std::decay_t<decltype(a)>;
        const auto& b = std::get<M>(y);
        if constexpr (std::is_same_v<M, Hello>) return a.clientId == b.clientId && a.databaseId == b.databaseId;
        if constexpr (std::is_same_v<M, Heartbeat>) return true;
        if constexpr (std::is_same_v<M, Register>)
          return a.noteId == b.noteId && a.verifier == b.verifier && SameSpan(a.syncId, b.syncId);
        if constexpr (std::is_same_v<M, Digest>) return a.noteId == b.noteId && a.digest == b.digest;
        if constexpr (std::is_same_v<M, ListItem> || std::is_same_v<M, Announce>)
          return a.noteId == b.noteId && a.itemId == b.itemId && a.hash == b.hash;
        if constexpr (std::is_same_v<M, ListEnd>) return a.noteId == b.noteId && a.itemCount == b.itemCount;
        if constexpr (std::is_same_v<M, Upload>)
          return a.noteId == b.noteId && a.hash == b.hash && SameSpan(a.sealed, b.sealed);
        if constexpr (std::is_same_v<M, DeleteHash>) return a.noteId == b.noteId && a.hash == b.hash;
      },
      x);
}

bool Same(const ServerMessage& x, const ServerMessage& y) {
  if (x.index() != y.index()) return false;
  return std::visit(
      [&y](const auto& a) {
        using M = std::decay_t<decltype(a)>;
        const auto& b = std::get<M>(y);
        if constexpr (std::is_same_v<M, HeartbeatAnswer>) return true;
        if constexpr (std::is_same_v<M, RegisterStatus>) return a.noteId == b.noteId && a.status == b.status;
        if constexpr (std::is_same_v<M, ListRequest>) return a.noteId == b.noteId;
        if constexpr (std::is_same_v<M, UploadRequest> || std::is_same_v<M, DeleteItemRequest>)
          return a.noteId == b.noteId && a.itemId == b.itemId;
        if constexpr (std::is_same_v<M, ServerItem>) return a.noteId == b.noteId && SameSpan(a.sealed, b.sealed);
        if constexpr (std::is_same_v<M, DeleteHashRequest>) return a.noteId == b.noteId && a.hash == b.hash;
        if constexpr (std::is_same_v<M, ServerNotice>) return SameSpan(a.text, b.text);
      },
      x);
}

// Storage for the variable parts of the sample messages.
const Bytes kSyncIdShort = Seq(2, 1);
const Bytes kSyncIdLong = Seq(kMaxSyncIdBytes, 2);
const Bytes kSealedOne = Seq(16, 3);
const Bytes kSealedMax = Seq(102400, 4);
const Bytes kNoticeText = Seq(600, 5);

struct ClientCase {
  const char* name;
  ClientMessage message;
  std::uint16_t type;
  std::size_t length;
};

std::vector<ClientCase> ClientCases() {
  return {
      {"Hello", Hello{0x01020304, 0xFFFFFFFE}, 8, 14},
      {"Heartbeat", Heartbeat{}, 0, 6},
      {"Register shortest id", Register{7, Pattern(1), kSyncIdShort}, 4, 32},
      {"Register longest id", Register{0xFFFFFFFF, Pattern(2), kSyncIdLong}, 4, 190},
      {"Digest", Digest{9, Pattern(3)}, 1, 30},
      {"ListItem", ListItem{9, 0x80000001, Pattern(4)}, 1, 34},
      {"ListEnd", ListEnd{9, 4096}, 1, 14},
      {"Announce", Announce{1, 2, Pattern(5)}, 3, 34},
      {"Upload one block", Upload{3, Pattern(6), kSealedOne}, 6, 46},
      {"Upload largest", Upload{3, Pattern(7), kSealedMax}, 6, 30 + 102400},
      {"DeleteHash", DeleteHash{4, Pattern(8)}, 2, 30},
  };
}

struct ServerCase {
  const char* name;
  ServerMessage message;
  std::uint16_t type;
  std::size_t length;
};

std::vector<ServerCase> ServerCases() {
  return {
      {"heartbeat answer", HeartbeatAnswer{}, 0, 6},
      {"register status", RegisterStatus{5, 21}, 4, 12},
      {"list request", ListRequest{0xDEADBEEF}, 1, 10},
      {"upload request", UploadRequest{5, 6}, 6, 14},
      {"item", ServerItem{5, kSealedOne}, 3, 26},
      {"largest item", ServerItem{5, kSealedMax}, 3, 10 + 102400},
      {"delete item", DeleteItemRequest{5, 77}, 2, 14},
      {"delete by hash", DeleteHashRequest{5, Pattern(9)}, 2, 30},
      {"notice", ServerNotice{kNoticeText}, 7, 606},
      {"empty notice", ServerNotice{}, 7, 6},
  };
}

TEST(FramesTest, ClientFramesRoundTripWithTheirHeaders) {
  for (const auto& c : ClientCases()) {
    Frame f;
    ASSERT_EQ(BuildFrame(c.message, f), FrameError::kOk) << c.name;
    ASSERT_EQ(f.size(), c.length) << c.name;
    EXPECT_EQ(LoadU32LE(f.data()), c.length) << c.name;
    EXPECT_EQ(LoadU16LE(f.data() + 4), c.type) << c.name;
    EXPECT_EQ(f.size() % 2, 0u) << c.name;

    ClientMessage parsed;
    ASSERT_EQ(ParseClientFrame(f, parsed), FrameError::kOk) << c.name;
    EXPECT_TRUE(Same(parsed, c.message)) << c.name;
  }
}

TEST(FramesTest, ServerFramesRoundTripWithTheirHeaders) {
  for (const auto& c : ServerCases()) {
    Frame f;
    ASSERT_EQ(BuildFrame(c.message, f), FrameError::kOk) << c.name;
    ASSERT_EQ(f.size(), c.length) << c.name;
    EXPECT_EQ(LoadU32LE(f.data()), c.length) << c.name;
    EXPECT_EQ(LoadU16LE(f.data() + 4), c.type) << c.name;

    ServerMessage parsed;
    ASSERT_EQ(ParseServerFrame(f, parsed), FrameError::kOk) << c.name;
    EXPECT_TRUE(Same(parsed, c.message)) << c.name;
  }
}

TEST(FramesTest, FieldsAreLittleEndianAtTheirOffsets) {
  Frame f;
  ASSERT_EQ(BuildFrame(ClientMessage{ListItem{0x11223344, 0x55667788, Pattern(0)}}, f), FrameError::kOk);
  const Bytes head = {34, 0, 0, 0, 1, 0, 0x44, 0x33, 0x22, 0x11, 0x88, 0x77, 0x66, 0x55};
  EXPECT_TRUE(std::equal(head.begin(), head.end(), f.begin()));
  EXPECT_TRUE(std::equal(f.begin() + 14, f.end(), Pattern(0).begin()));

  ASSERT_EQ(BuildFrame(ServerMessage{RegisterStatus{0x01020304, 0x0506}}, f), FrameError::kOk);
  EXPECT_EQ(f, (Bytes{12, 0, 0, 0, 4, 0, 4, 3, 2, 1, 6, 5}));
}

// A truncated frame whose length field still states the whole frame, at
// every length, and the same bytes claiming only their own length: neither
// may parse as the original message or read past the bytes given.  The
// 100 KB frames are left out: their lengths add time, not cases.
TEST(FramesTest, TruncatedFramesAreRefusedAtEveryLength) {
  constexpr std::size_t kTruncationLimit = 4096;
  for (const auto& c : ClientCases()) {
    Frame f;
    ASSERT_EQ(BuildFrame(c.message, f), FrameError::kOk);
    if (f.size() > kTruncationLimit) continue;
    for (std::size_t n = 0; n < f.size(); ++n) {
      const Bytes cut(f.begin(), f.begin() + static_cast<std::ptrdiff_t>(n));  // exact size for ASan
      ClientMessage parsed;
      ASSERT_EQ(ParseClientFrame(cut, parsed), FrameError::kTooShort) << c.name << " at " << n;

      if (n < kFrameHeaderBytes) continue;
      Bytes relabelled = cut;
      StoreU32LE(relabelled.data(), static_cast<std::uint32_t>(n));
      const FrameError e = ParseClientFrame(relabelled, parsed);
      if (e == FrameError::kOk) {
        // Only a shorter frame of the same type that is valid on its own:
        // fewer sync ID bytes or sealed blocks, or a sibling of type 1.
        EXPECT_FALSE(Same(parsed, c.message)) << c.name << " at " << n;
      } else {
        EXPECT_TRUE(e == FrameError::kTooShort || e == FrameError::kBadSize) << c.name << " at " << n;
      }
    }
  }
  for (const auto& c : ServerCases()) {
    Frame f;
    ASSERT_EQ(BuildFrame(c.message, f), FrameError::kOk);
    if (f.size() > kTruncationLimit) continue;
    for (std::size_t n = 0; n < f.size(); ++n) {
      const Bytes cut(f.begin(), f.begin() + static_cast<std::ptrdiff_t>(n));
      ServerMessage parsed;
      ASSERT_EQ(ParseServerFrame(cut, parsed), FrameError::kTooShort) << c.name << " at " << n;

      if (n < kFrameHeaderBytes) continue;
      Bytes relabelled = cut;
      StoreU32LE(relabelled.data(), static_cast<std::uint32_t>(n));
      const FrameError e = ParseServerFrame(relabelled, parsed);
      if (e == FrameError::kOk) {
        EXPECT_FALSE(Same(parsed, c.message)) << c.name << " at " << n;
      } else {
        EXPECT_TRUE(e == FrameError::kTooShort || e == FrameError::kBadSize) << c.name << " at " << n;
      }
    }
  }
}

Bytes RawFrame(std::uint16_t type, std::size_t payloadBytes) {
  Bytes f(kFrameHeaderBytes + payloadBytes, 0xAB);
  StoreU32LE(f.data(), static_cast<std::uint32_t>(f.size()));
  StoreU16LE(f.data() + 4, type);
  return f;
}

TEST(FramesTest, LengthsTheTypeDoesNotHaveAreRefused) {
  struct Case {
    const char* name;
    std::uint16_t type;
    std::size_t payloadBytes;
    FrameError client;
    FrameError server;
  };
  const Case cases[] = {
      // Fixed frames with one byte too many.
      {"hello + 1", 8, 9, FrameError::kBadSize, FrameError::kUnknownType},
      {"heartbeat + 1", 0, 1, FrameError::kBadSize, FrameError::kOk /* padded */},
      {"announce + 1", 3, 29, FrameError::kBadSize, FrameError::kOk /* server item */},
      {"delete hash + 1", 2, 25, FrameError::kBadSize, FrameError::kBadSize},
      {"status + 1", 4, 7, FrameError::kTooShort /* register */, FrameError::kOk /* padded */},
      {"list request + 1", 1, 5, FrameError::kTooShort, FrameError::kOk /* padded */},
      {"upload request + 1", 6, 9, FrameError::kTooShort, FrameError::kOk /* padded */},
      // Type 1 and type 2 lengths between the defined ones.
      {"type 1 of 31", 1, 25, FrameError::kBadSize, FrameError::kOk /* padded */},
      {"type 1 of 36", 1, 30, FrameError::kBadSize, FrameError::kOk /* padded */},
      {"type 2 of 16", 2, 10, FrameError::kTooShort, FrameError::kBadSize},
      // Variable parts.
      {"register odd sync id", 4, 24 + 3, FrameError::kBadSize, FrameError::kOk /* padded */},
      {"register sync id of 162", 4, 24 + 162, FrameError::kBadSize, FrameError::kOk /* padded */},
      {"upload not whole blocks", 6, 24 + 24, FrameError::kBadSize, FrameError::kOk /* padded */},
      {"upload above largest blob", 6, 24 + 102416, FrameError::kBadSize, FrameError::kOk /* padded */},
      // Types a direction does not define.
      {"type 5", 5, 0, FrameError::kUnknownType, FrameError::kUnknownType},
      {"type 7 from a client", 7, 4, FrameError::kUnknownType, FrameError::kOk},
      {"type 8 from a server", 8, 8, FrameError::kOk, FrameError::kUnknownType},
      {"type 0xFFFF", 0xFFFF, 2, FrameError::kUnknownType, FrameError::kUnknownType},
  };
  for (const auto& c : cases) {
    const Bytes f = RawFrame(c.type, c.payloadBytes);
    ClientMessage cm;
    ServerMessage sm;
    EXPECT_EQ(ParseClientFrame(f, cm), c.client) << c.name;
    EXPECT_EQ(ParseServerFrame(f, sm), c.server) << c.name;
  }
}

// A server may pad the frames whose fields have fixed places: the fields are
// read from their places and the padding ignored, up to the largest frame.
// The delete frames are told apart by length, so they stay exact.
TEST(FramesTest, PaddedServerFramesOfFixedFieldsAreReadAndThePaddingIgnored) {
  const ServerCase padded[] = {
      {"heartbeat answer", HeartbeatAnswer{}, 0, 6},
      {"register status", RegisterStatus{0x01020304, 21}, 4, 12},
      {"list request", ListRequest{0xDEADBEEF}, 1, 10},
      {"upload request", UploadRequest{5, 0x80000006}, 6, 14},
  };
  for (const auto& c : padded) {
    Frame built;
    ASSERT_EQ(BuildFrame(c.message, built), FrameError::kOk) << c.name;
    for (const std::size_t padBytes : {std::size_t{1}, std::size_t{2}, std::size_t{20}, kMaxFrameBytes - c.length}) {
      // Padding that would read as fields of another message if read.
      Bytes f = built;
      const Bytes pad = Seq(padBytes, 0xF1);
      f.insert(f.end(), pad.begin(), pad.end());
      StoreU32LE(f.data(), static_cast<std::uint32_t>(f.size()));
      std::size_t frameBytes = 0;
      ASSERT_EQ(ScanFrame(f, frameBytes), FrameError::kOk) << c.name;
      EXPECT_EQ(frameBytes, f.size()) << c.name;
      ServerMessage parsed;
      ASSERT_EQ(ParseServerFrame(f, parsed), FrameError::kOk) << c.name << " + " << padBytes;
      EXPECT_TRUE(Same(parsed, c.message)) << c.name << " + " << padBytes;
    }
  }
  for (const std::size_t deleteBytes : {kDeleteItemFrameBytes, kDeleteHashRequestFrameBytes}) {
    ServerMessage parsed;
    EXPECT_EQ(ParseServerFrame(RawFrame(2, deleteBytes - kFrameHeaderBytes + 2), parsed), FrameError::kBadSize)
        << deleteBytes;
  }
}

TEST(FramesTest, LengthFieldOutOfRangeIsAProtocolError) {
  const std::uint32_t lengths[] = {0, 1, 5, 131073, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF};
  for (const auto length : lengths) {
    Bytes f = RawFrame(0, 0);
    StoreU32LE(f.data(), length);
    std::size_t frameBytes = 99;
    EXPECT_EQ(ScanFrame(f, frameBytes), FrameError::kLengthOutOfRange) << length;
    EXPECT_EQ(frameBytes, 0u);
    ClientMessage cm;
    ServerMessage sm;
    EXPECT_EQ(ParseClientFrame(f, cm), FrameError::kLengthOutOfRange) << length;
    EXPECT_EQ(ParseServerFrame(f, sm), FrameError::kLengthOutOfRange) << length;
  }
  // Exactly the maximum is a frame.
  const Bytes largest = RawFrame(7, kMaxFrameBytes - kFrameHeaderBytes);
  std::size_t frameBytes = 0;
  EXPECT_EQ(ScanFrame(largest, frameBytes), FrameError::kOk);
  EXPECT_EQ(frameBytes, kMaxFrameBytes);
}

TEST(FramesTest, ParserWantsExactlyOneFrame) {
  Frame f;
  ASSERT_EQ(BuildFrame(ClientMessage{Heartbeat{}}, f), FrameError::kOk);
  f.push_back(0);
  ClientMessage cm;
  EXPECT_EQ(ParseClientFrame(f, cm), FrameError::kLengthMismatch);
}

TEST(FramesTest, BuildersRefuseVariablePartsOfWrongSize) {
  const Bytes odd = Seq(3, 0), tooLong = Seq(kMaxSyncIdBytes + 2, 0), partial = Seq(24, 0),
              tooBig = Seq(102416, 0), oddText = Seq(5, 0), hugeText = Seq(kMaxFrameBytes - 4, 0);
  const ClientMessage badClient[] = {
      Register{1, {}, {}},  Register{1, {}, odd}, Register{1, {}, tooLong},
      Upload{1, {}, {}},    Upload{1, {}, partial}, Upload{1, {}, tooBig},
  };
  for (const auto& m : badClient) {
    Frame f = {1, 2, 3};
    EXPECT_EQ(BuildFrame(m, f), FrameError::kBadSize);
    EXPECT_TRUE(f.empty());
  }
  const ServerMessage badServer[] = {
      ServerItem{1, {}}, ServerItem{1, partial}, ServerItem{1, tooBig},
      ServerNotice{oddText}, ServerNotice{hugeText},
  };
  for (const auto& m : badServer) {
    Frame f = {1, 2, 3};
    EXPECT_EQ(BuildFrame(m, f), FrameError::kBadSize);
    EXPECT_TRUE(f.empty());
  }
  // The largest notice that fits one frame.
  const Bytes maxText = Seq(kMaxFrameBytes - kFrameHeaderBytes, 0);
  Frame f;
  EXPECT_EQ(BuildFrame(ServerMessage{ServerNotice{maxText}}, f), FrameError::kOk);
  EXPECT_EQ(f.size(), kMaxFrameBytes);
}

TEST(FramesTest, ItemForTheClientPassesAnySealedSizeOnForUnsealingToJudge) {
  // The note id must reach the caller even when the blob is unusable, so
  // that the failure can be reported for that note.
  Bytes f = RawFrame(3, 4 + 5);
  StoreU32LE(f.data() + 6, 42);
  ServerMessage m;
  ASSERT_EQ(ParseServerFrame(f, m), FrameError::kOk);
  ASSERT_TRUE(std::holds_alternative<ServerItem>(m));
  EXPECT_EQ(std::get<ServerItem>(m).noteId, 42u);
  EXPECT_EQ(std::get<ServerItem>(m).sealed.size(), 5u);
}

TEST(FramesTest, ScanDelimitsFramesArrivingInPieces) {
  // What a receive loop does: append what arrives, take whole frames off the
  // front.
  Bytes stream;
  std::vector<ServerMessage> sent = {RegisterStatus{1, 0}, ListRequest{1}, ServerItem{1, kSealedOne},
                                     DeleteHashRequest{1, Pattern(1)}, ServerNotice{kNoticeText}};
  for (const auto& m : sent) {
    Frame f;
    ASSERT_EQ(BuildFrame(m, f), FrameError::kOk);
    stream.insert(stream.end(), f.begin(), f.end());
  }
  for (const std::size_t piece : {1u, 3u, 7u, 64u, 1000u}) {
    Bytes buffer;
    std::size_t got = 0;
    for (std::size_t pos = 0; pos < stream.size(); pos += piece) {
      const auto end = std::min(stream.size(), pos + piece);
      buffer.insert(buffer.end(), stream.begin() + static_cast<std::ptrdiff_t>(pos),
                    stream.begin() + static_cast<std::ptrdiff_t>(end));
      std::size_t frameBytes = 0;
      FrameError e;
      while ((e = ScanFrame(buffer, frameBytes)) == FrameError::kOk) {
        ServerMessage m;
        ASSERT_EQ(ParseServerFrame(std::span(buffer).first(frameBytes), m), FrameError::kOk);
        ASSERT_LT(got, sent.size());
        EXPECT_TRUE(Same(m, sent[got])) << "piece " << piece << " frame " << got;
        ++got;
        buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(frameBytes));
      }
      ASSERT_EQ(e, FrameError::kIncomplete);
    }
    EXPECT_EQ(got, sent.size()) << "piece " << piece;
    EXPECT_TRUE(buffer.empty());
  }
}

TEST(FramesTest, NoticeIsShownCutTo250Bytes) {
  EXPECT_EQ(ShownNoticeText(kNoticeText).size(), 250u);
  EXPECT_EQ(ShownNoticeText(std::span(kNoticeText).first(250)).size(), 250u);
  EXPECT_EQ(ShownNoticeText(std::span(kNoticeText).first(10)).size(), 10u);
}

std::string AsText(const Frame& f) { return std::string(f.begin(), f.end()); }
Bytes AsBytes(std::string_view s) { return Bytes(s.begin(), s.end()); }

TEST(PreambleTest, LineCarriesTheLowByteOfEachVersionHalf) {
  EXPECT_EQ(AsText(BuildPreamble(VersionFromFileVersionMs(0x00030004))), "TCP /vmo001.js?3.4\r\n\r\n");
  EXPECT_EQ(AsText(BuildPreamble(VersionFromFileVersionMs(0x12FF3400))), "TCP /vmo001.js?255.0\r\n\r\n");
}

TEST(PreambleTest, RoundTripsAndLeavesTheFollowingFrameAlone) {
  for (const ProgramVersion v : {ProgramVersion{0, 0}, ProgramVersion{3, 4}, ProgramVersion{10, 99},
                                 ProgramVersion{255, 255}, ProgramVersion{100, 7}}) {
    Frame line = BuildPreamble(v);
    const std::size_t lineBytes = line.size();
    Frame hello;
    ASSERT_EQ(BuildFrame(ClientMessage{Hello{1, 2}}, hello), FrameError::kOk);
    line.insert(line.end(), hello.begin(), hello.end());

    ProgramVersion parsed;
    std::size_t consumed = 0;
    ASSERT_EQ(ParsePreamble(line, parsed, consumed), FrameError::kOk) << AsText(line);
    EXPECT_EQ(parsed, v);
    EXPECT_EQ(consumed, lineBytes);

    // Every proper prefix of the line is still waiting for more.
    for (std::size_t n = 0; n < lineBytes; ++n) {
      const Bytes cut(line.begin(), line.begin() + static_cast<std::ptrdiff_t>(n));
      EXPECT_EQ(ParsePreamble(cut, parsed, consumed), FrameError::kIncomplete) << n;
      EXPECT_EQ(consumed, 0u);
    }
  }
}

TEST(PreambleTest, RefusesWhatCannotBecomeTheLine) {
  const char* bad[] = {
      "GET / HTTP/1.1\r\n\r\n", "TCP /vmo002.js?3.4\r\n\r\n", "TCP /vmo001.js?256.0\r\n\r\n",
      "TCP /vmo001.js?03.4\r\n\r\n", "TCP /vmo001.js?3.4\n\n",      "TCP /vmo001.js?.4\r\n\r\n",
      "TCP /vmo001.js?3.\r\n\r\n",   "TCP /vmo001.js?1000",          "TCP /vmo001.js?3,4\r\n\r\n",
  };
  for (const char* text : bad) {
    ProgramVersion v;
    std::size_t consumed = 7;
    EXPECT_EQ(ParsePreamble(AsBytes(text), v, consumed), FrameError::kBadPreamble) << text;
    EXPECT_EQ(consumed, 0u);
  }
}

TEST(IdentifierTest, DrawsFromTheSystemGenerator) {
  // Not a randomness test: two draws that agree would mean a fixed value.
  std::uint32_t a = 0, b = 0;
  ASSERT_TRUE(DrawIdentifier(a));
  ASSERT_TRUE(DrawIdentifier(b));
  EXPECT_NE(a, b);
}

}  // namespace
}  // namespace vellumo::sync
