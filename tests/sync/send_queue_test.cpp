#include "sync/send_queue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "platform/bytes.h"

namespace vellumo::sync {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A frame whose payload bytes name it, so a repeated, lost or reordered
// frame shows in the received stream.
Frame NumberedFrame(std::uint32_t number, std::size_t size) {
  Frame f(size);
  StoreU32LE(f.data(), static_cast<std::uint32_t>(size));
  f[4] = 1;
  f[5] = 0;
  for (std::size_t i = 6; i < size; ++i) f[i] = static_cast<std::uint8_t>(number * 31 + i);
  return f;
}

// A socket that takes, on each call, the next count of its script (or
// reports the status when the entry is negative), recording what it took.
struct ScriptedSocket {
  ScriptedSocket() = default;
  explicit ScriptedSocket(std::vector<long> s) : script(std::move(s)) {}
  std::vector<long> script;  // >= 0 bytes taken; -1 would block; -2 error
  std::size_t next = 0;
  Bytes received;
  SendAttempt operator()(std::span<const std::uint8_t> offered) {
    const long step = next < script.size() ? script[next++] : static_cast<long>(offered.size());
    if (step == -1) return {SendStatus::kWouldBlock, 0};
    if (step == -2) return {SendStatus::kError, 0};
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(step), offered.size());
    received.insert(received.end(), offered.begin(), offered.begin() + static_cast<std::ptrdiff_t>(n));
    return {SendStatus::kTaken, n};
  }
};

Bytes Concat(const std::vector<Frame>& frames) {
  Bytes all;
  for (const auto& f : frames) all.insert(all.end(), f.begin(), f.end());
  return all;
}

struct PartialCase {
  const char* name;
  std::vector<std::size_t> sizes;
  std::vector<long> script;  // consumed across repeated flushes
};

// Whatever the socket takes per call, once every flush has run the bytes on
// the wire are each frame exactly once, whole, in the order pushed.
TEST(SendQueue, PartialSendsContinueWhereTheyStopped) {
  const std::vector<PartialCase> cases = {
      {"all at once", {6, 34, 14}, {}},
      {"head split in two", {34, 14}, {10}},
      {"one byte at a time", {14, 6}, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
      {"would block first", {30, 30}, {-1, 30, -1, 5}},
      {"split exactly at a frame end", {14, 34}, {14, -1, 33}},
      {"zero bytes taken", {10}, {0, 0, 4}},
      {"error mid frame keeps the rest", {34, 6}, {12, -2, 3}},
      {"large frame in pieces", {kMaxFrameBytes, 6}, {65536, 1, 65535, -1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SendQueue queue;
    std::vector<Frame> pushed;
    for (std::size_t i = 0; i < c.sizes.size(); ++i) {
      pushed.push_back(NumberedFrame(static_cast<std::uint32_t>(i), c.sizes[i]));
      ASSERT_EQ(queue.Push(pushed.back()), PushResult::kQueued);
    }
    ScriptedSocket socket(c.script);
    const SendBytes send = std::ref(socket);
    int flushes = 0;
    while (queue.Flush(send).result != FlushResult::kDrained) ASSERT_LT(++flushes, 100);
    EXPECT_EQ(socket.received, Concat(pushed));
    EXPECT_EQ(queue.PendingFrames(), 0u);
    EXPECT_EQ(queue.PendingBytes(), 0u);
  }
}

TEST(SendQueue, ReportsWhatOneFlushDid) {
  SendQueue queue;
  ASSERT_EQ(queue.Push(NumberedFrame(1, 14)), PushResult::kQueued);
  ASSERT_EQ(queue.Push(NumberedFrame(2, 30)), PushResult::kQueued);
  ScriptedSocket socket({14, 20, -1});
  const SendBytes send = std::ref(socket);

  FlushReport r = queue.Flush(send);
  EXPECT_EQ(r.result, FlushResult::kBlocked);
  EXPECT_EQ(r.framesCompleted, 1u);
  EXPECT_EQ(r.bytesSent, 34u);
  EXPECT_TRUE(queue.HeadStarted());
  EXPECT_EQ(queue.PendingBytes(), 10u);
  EXPECT_EQ(queue.PendingFrames(), 1u);

  ScriptedSocket failing({-2});
  r = queue.Flush(std::ref(failing));
  EXPECT_EQ(r.result, FlushResult::kError);
  EXPECT_EQ(queue.PendingBytes(), 10u);

  // A socket that claims more than it was offered does not move past the frame.
  r = queue.Flush([](std::span<const std::uint8_t> b) { return SendAttempt{SendStatus::kTaken, b.size() + 100}; });
  EXPECT_EQ(r.result, FlushResult::kDrained);
  EXPECT_EQ(r.bytesSent, 10u);
}

TEST(SendQueue, RefusesFramesThatAreNotWhole) {
  SendQueue queue;
  Frame lying = NumberedFrame(0, 14);
  StoreU32LE(lying.data(), 30);  // length field disagrees with the bytes
  const std::vector<Frame> bad = {Frame{}, Frame(5, 0), lying, NumberedFrame(0, kMaxFrameBytes + 2)};
  for (const auto& f : bad) EXPECT_EQ(queue.Push(f), PushResult::kBadFrame) << f.size();
  EXPECT_EQ(queue.PendingFrames(), 0u);
  EXPECT_EQ(queue.Push(NumberedFrame(0, 6)), PushResult::kQueued);
  EXPECT_EQ(queue.Push(NumberedFrame(0, kMaxFrameBytes)), PushResult::kQueued);
}

TEST(SendQueue, BoundedByBytesAndFreedAsFramesLeave) {
  SendQueue queue(64);
  EXPECT_EQ(queue.Push(NumberedFrame(0, 34)), PushResult::kQueued);
  EXPECT_EQ(queue.Push(NumberedFrame(1, 30)), PushResult::kQueued);  // exactly full
  EXPECT_EQ(queue.Push(NumberedFrame(2, 6)), PushResult::kFull);
  EXPECT_EQ(queue.PendingFrames(), 2u);

  // A partly sent head still holds its whole size until it is done.
  ScriptedSocket socket({20, -1});
  queue.Flush(std::ref(socket));
  EXPECT_EQ(queue.Push(NumberedFrame(2, 6)), PushResult::kFull);
  ScriptedSocket rest({14, -1});
  queue.Flush(std::ref(rest));
  EXPECT_EQ(queue.Push(NumberedFrame(2, 34)), PushResult::kQueued);
}

TEST(SendQueue, ResetDropsAPartlySentFrameToo) {
  SendQueue queue;
  ASSERT_EQ(queue.Push(NumberedFrame(1, 34)), PushResult::kQueued);
  ASSERT_EQ(queue.Push(NumberedFrame(2, 14)), PushResult::kQueued);
  ScriptedSocket socket({7, -1});
  queue.Flush(std::ref(socket));
  EXPECT_EQ(queue.Reset(), (std::vector<Frame>{NumberedFrame(1, 34), NumberedFrame(2, 14)}));
  EXPECT_FALSE(queue.HeadStarted());
  EXPECT_EQ(queue.PendingBytes(), 0u);

  // The next connection starts on a frame boundary.
  const Frame next = NumberedFrame(3, 14);
  ASSERT_EQ(queue.Push(next), PushResult::kQueued);
  ScriptedSocket fresh;
  EXPECT_EQ(queue.Flush(std::ref(fresh)).result, FlushResult::kDrained);
  EXPECT_EQ(fresh.received, next);
}

// The interface thread pushes and flushes while the worker flushes through a
// socket that takes random small amounts: the stream still holds every frame
// once, in push order.
TEST(SendQueue, ProducerAndWorkerKeepTheOrder) {
  constexpr std::uint32_t kFrames = 3000;
  SendQueue queue;
  Bytes wire;
  std::mutex wireMutex;  // only to read `wire` safely at the end; Flush serialises sends
  std::uint32_t seed = 12345;
  const SendBytes send = [&](std::span<const std::uint8_t> offered) -> SendAttempt {
    seed = seed * 1103515245u + 12345u;
    const std::uint32_t r = (seed >> 16) % 8;
    if (r == 0) return {SendStatus::kWouldBlock, 0};
    const std::size_t n = std::min<std::size_t>(offered.size(), r * 5);
    std::lock_guard lock(wireMutex);
    wire.insert(wire.end(), offered.begin(), offered.begin() + static_cast<std::ptrdiff_t>(n));
    return {SendStatus::kTaken, n};
  };

  std::vector<Frame> expected;
  for (std::uint32_t i = 0; i < kFrames; ++i) expected.push_back(NumberedFrame(i, 6 + 2 * (i % 20)));

  std::atomic<bool> producing{true};
  std::thread worker([&] {
    while (producing.load() || queue.PendingFrames() != 0) queue.Flush(send);
  });
  for (std::uint32_t i = 0; i < kFrames; ++i) {
    EXPECT_EQ(queue.Push(expected[i]), PushResult::kQueued);
    if (i % 3 == 0) queue.Flush(send);
  }
  producing = false;
  worker.join();

  std::lock_guard lock(wireMutex);
  EXPECT_EQ(wire, Concat(expected));
}

}  // namespace
}  // namespace vellumo::sync
