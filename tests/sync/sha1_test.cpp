#include "sync/sha1.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace vellumo::sync {
namespace {

std::span<const std::uint8_t> Bytes(std::string_view s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

std::string Hex(const Sha1Digest& d) {
  std::string out;
  char buf[3];
  for (std::uint8_t b : d) {
    std::snprintf(buf, sizeof buf, "%02x", b);
    out += buf;
  }
  return out;
}

// Every test runs once per engine; the instruction engine is skipped on
// processors without it (the portable engine would silently stand in).
class Sha1EngineTest : public ::testing::TestWithParam<Sha1Engine> {
 protected:
  void SetUp() override {
    if (!Sha1EngineAvailable(GetParam())) GTEST_SKIP() << "engine not supported by this processor";
  }
};

TEST_P(Sha1EngineTest, EngineInUseIsTheOneAskedFor) {
  Sha1 sha(GetParam());
  EXPECT_EQ(sha.engine(), GetParam());
}

// FIPS 180 known answers, plus the empty message and messages whose padding
// spills into a second block (55, 56 and 64 bytes).
TEST_P(Sha1EngineTest, KnownAnswers) {
  struct Case {
    std::string message;
    const char* digest;
  };
  const Case cases[] = {
      {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
      {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
      {std::string(55, 'a'), "c1c8bbdc22796e28c0e15163d20899b65621d65a"},
      {std::string(56, 'a'), "c2db330f6083854c99d4b5bfb6e8f29f201be699"},
      {std::string(64, 'a'), "0098ba824b5c16427bd7a1122a5a442a25ec644d"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Hex(Sha1Hash(Bytes(c.message), GetParam())), c.digest) << "length " << c.message.size();
  }
}

TEST_P(Sha1EngineTest, OneMillionA) {
  const std::string million(1000000, 'a');
  EXPECT_EQ(Hex(Sha1Hash(Bytes(million), GetParam())), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
  // The same through many small updates crosses every buffering path.
  Sha1 sha(GetParam());
  for (int i = 0; i < 10000; ++i) sha.Update(Bytes(std::string_view(million).substr(0, 100)));
  EXPECT_EQ(Hex(sha.Final()), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

TEST_P(Sha1EngineTest, ByteByByteAndEverySplitMatchOneCall) {
  std::mt19937 gen(20240611);
  std::vector<std::uint8_t> message(300);
  for (auto& b : message) b = static_cast<std::uint8_t>(gen());
  const Sha1Digest whole = Sha1Hash(message, GetParam());

  Sha1 sha(GetParam());
  for (std::uint8_t b : message) sha.Update(std::span(&b, 1));
  EXPECT_EQ(sha.Final(), whole);

  for (std::size_t split = 0; split <= message.size(); ++split) {
    sha.Update(std::span(message).first(split));
    sha.Update(std::span(message).subspan(split));
    ASSERT_EQ(sha.Final(), whole) << "split at " << split;
  }
}

TEST_P(Sha1EngineTest, FinalLeavesTheObjectReadyForANewMessage) {
  Sha1 sha(GetParam());
  sha.Update(Bytes("something else first"));
  (void)sha.Final();
  sha.Update(Bytes("abc"));
  EXPECT_EQ(Hex(sha.Final()), "a9993e364706816aba3e25717850c26c9cd0d89d");
  sha.Update(Bytes("discarded"));
  sha.Reset();
  sha.Update(Bytes("abc"));
  EXPECT_EQ(Hex(sha.Final()), "a9993e364706816aba3e25717850c26c9cd0d89d");
}

INSTANTIATE_TEST_SUITE_P(Engines, Sha1EngineTest,
                         ::testing::Values(Sha1Engine::kPortable, Sha1Engine::kShaNi),
                         [](const auto& param) {
                           return param.param == Sha1Engine::kPortable ? std::string("Portable")
                                                                       : std::string("ShaNi");
                         });

// Both engines over many lengths and multi-block updates: a schedule or
// round-constant slip in one engine shows up as a mismatch here.
TEST(Sha1Engines, AgreeOnSeededMessagesOfEveryLength) {
  if (!Sha1EngineAvailable(Sha1Engine::kShaNi)) GTEST_SKIP() << "no SHA instructions";
  std::mt19937 gen(7);
  std::vector<std::uint8_t> message(1200);
  for (auto& b : message) b = static_cast<std::uint8_t>(gen());
  for (std::size_t len = 0; len <= message.size(); ++len) {
    const auto part = std::span(message).first(len);
    ASSERT_EQ(Sha1Hash(part, Sha1Engine::kPortable), Sha1Hash(part, Sha1Engine::kShaNi))
        << "length " << len;
  }
}

}  // namespace
}  // namespace vellumo::sync
