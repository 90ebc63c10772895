#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/bytes.h"
#include "sync/link_health.h"
#include "sync/receive_buffer.h"

namespace vellumo::sync {
namespace {

using Bytes = std::vector<std::uint8_t>;

Frame MakeFrame(std::uint16_t type, std::size_t size, std::uint8_t fill) {
  Frame f(size, fill);
  StoreU32LE(f.data(), static_cast<std::uint32_t>(size));
  f[4] = static_cast<std::uint8_t>(type);
  f[5] = 0;
  return f;
}

// Feeds the stream in pieces of the given sizes and collects what comes out.
ReceiveResult FeedInPieces(ReceiveBuffer& buffer, const Bytes& stream, const std::vector<std::size_t>& pieces,
                           std::vector<Frame>& out) {
  std::size_t at = 0, piece = 0;
  while (at < stream.size()) {
    const std::size_t want = pieces.empty() ? stream.size() : pieces[piece++ % pieces.size()];
    const auto free = buffer.FreeSpace();
    const std::size_t n = std::min({want, stream.size() - at, free.size()});
    std::memcpy(free.data(), stream.data() + at, n);
    buffer.Commit(n);
    at += n;
    Frame f;
    for (;;) {
      const ReceiveResult r = buffer.Next(f);
      if (r == ReceiveResult::kNeedMore) break;
      if (r == ReceiveResult::kProtocolError) return r;
      out.push_back(f);
    }
  }
  return ReceiveResult::kNeedMore;
}

TEST(ReceiveBuffer, WholeFramesInOrderFromAnyPieces) {
  const std::vector<Frame> frames = {MakeFrame(0, 6, 0), MakeFrame(4, 12, 1), MakeFrame(3, kMaxFrameBytes, 2),
                                     MakeFrame(7, 20, 3), MakeFrame(3, kMaxFrameBytes - 2, 4), MakeFrame(1, 10, 5)};
  Bytes stream;
  for (const auto& f : frames) stream.insert(stream.end(), f.begin(), f.end());
  const std::vector<std::vector<std::size_t>> splits = {{}, {1}, {3, 5}, {4}, {7, 65536}, {131071}, {131073}};
  for (const auto& split : splits) {
    SCOPED_TRACE(split.empty() ? 0 : split[0]);
    ReceiveBuffer buffer;
    std::vector<Frame> out;
    EXPECT_EQ(FeedInPieces(buffer, stream, split, out), ReceiveResult::kNeedMore);
    EXPECT_EQ(out, frames);
    EXPECT_EQ(buffer.Buffered(), 0u);
  }
}

TEST(ReceiveBuffer, ImpossibleLengthDropsTheStream) {
  for (std::uint32_t length : {0u, 3u, 5u, static_cast<std::uint32_t>(kMaxFrameBytes + 1), 0xFFFFFFFFu}) {
    SCOPED_TRACE(length);
    ReceiveBuffer buffer;
    Bytes stream = MakeFrame(0, 6, 0);
    Bytes bad(10, 0);
    StoreU32LE(bad.data(), length);
    stream.insert(stream.end(), bad.begin(), bad.end());
    std::vector<Frame> out;
    EXPECT_EQ(FeedInPieces(buffer, stream, {}, out), ReceiveResult::kProtocolError);
    EXPECT_EQ(out.size(), 1u) << "the good frame before it was still delivered";
    EXPECT_EQ(buffer.Buffered(), 0u);
  }
}

TEST(LinkHealth, ReconnectsAfterElevenQuietFailuresNotBefore) {
  LinkHealth link;
  link.OnConnectAttempt();
  for (int i = 0; i < 11; ++i) {
    link.OnReadableOrWaitError();  // e.g. a closed connection: readable, nothing read
    EXPECT_FALSE(link.TakeReconnect()) << i;
  }
  link.OnReadableOrWaitError();
  EXPECT_TRUE(link.TakeReconnect());
  EXPECT_EQ(link.health(), 0);

  // Data in between heals it.
  link.OnConnectAttempt();
  for (int i = 0; i < 100; ++i) {
    link.OnReadableOrWaitError();
    if (i % 10 == 9) link.OnData();
    EXPECT_FALSE(link.TakeReconnect()) << i;
  }
}

TEST(LinkHealth, GreetingOncePerConnection) {
  LinkHealth link;
  EXPECT_FALSE(link.Connected());
  link.OnConnectAttempt();
  EXPECT_TRUE(link.ShouldGreet());
  link.OnGreeted();
  EXPECT_FALSE(link.ShouldGreet());
  EXPECT_TRUE(link.Connected());
  link.OnConnectAttempt();
  EXPECT_TRUE(link.ShouldGreet());
  EXPECT_FALSE(link.Connected());
}

TEST(LinkHealth, Heartbeats) {
  struct Step {
    std::uint32_t now;
    bool answer;           // a heartbeat answer arrives before this idle pass
    bool expectSend;
    bool expectReconnect;  // after the pass
  };
  struct Case {
    const char* name;
    std::vector<Step> steps;
  };
  const std::vector<Case> cases = {
      {"first at the first idle second, then once 20 s have passed, when answered",
       {{5000, false, true, false}, {6000, true, false, false}, {25002, false, false, false},
        {25003, false, true, false}, {26000, true, false, false}, {45004, false, false, false},
        {45005, false, true, false}}},
      {"an unanswered heartbeat reconnects when the next one is due",
       {{1000, false, true, false}, {20000, false, false, false}, {21002, false, true, true}}},
      {"the first heartbeat is sent at any clock value",
       {{0xFFFFF000u, false, true, false}, {0x00003000u, false, false, false}, {0x00004E21u, true, true, false}}},
      {"a late answer still counts", {{100, false, true, false}, {20000, true, false, false}, {20102, false, false, false}, {20103, false, true, false}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    LinkHealth link;
    link.OnConnectAttempt();
    for (std::size_t i = 0; i < c.steps.size(); ++i) {
      const Step& s = c.steps[i];
      if (s.answer) link.OnHeartbeatAnswer();
      EXPECT_EQ(link.HeartbeatDue(s.now), s.expectSend) << "step " << i;
      EXPECT_EQ(link.TakeReconnect(), s.expectReconnect) << "step " << i;
    }
  }
}

TEST(LinkHealth, DataInTheSamePassSavesAnUnansweredLink) {
  LinkHealth link;
  link.OnConnectAttempt();
  ASSERT_TRUE(link.HeartbeatDue(0));
  ASSERT_TRUE(link.AnswerOwed());
  ASSERT_TRUE(link.HeartbeatDue(30000));
  link.OnData();
  EXPECT_FALSE(link.TakeReconnect());
  // An answer to the new heartbeat settles it.
  link.OnHeartbeatAnswer();
  EXPECT_FALSE(link.AnswerOwed());
}

}  // namespace
}  // namespace vellumo::sync
