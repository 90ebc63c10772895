#include "protect/stretch_block.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace vellumo::protect {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Engine = CAES::Engine;

Bytes Hex(const std::string& hex) {
  Bytes out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  }
  return out;
}

struct StretchCase {
  const char* what;
  Bytes input;
  const char* expectedPrefix;  // hex of the first bytes of the result
};

// Expected values come from an independent AES-128-CBC implementation fed
// as one streaming encryptor, data -> scratch -> data, 38000 updates.  The
// 512-byte inputs are password blocks: an ANSI password, zero-filled.
std::vector<StretchCase> Cases() {
  Bytes counting(32);
  for (std::size_t i = 0; i < counting.size(); ++i) counting[i] = static_cast<std::uint8_t>(i);
  Bytes password(512);
  const std::string text = "hunter2";
  std::copy(text.begin(), text.end(), password.begin());
  return {
      {"one zero block", Bytes(16), "a99716f2f7ab9b5f32ff1ccb2541cb6a"},
      {"content key 00..1f", counting,
       "d9df0588950802fd6c3bd778259c5370edf7bf08043be468525e976ae9c9df2d"},
      {"empty password", Bytes(512),
       "dac8349536d398aa43b29ab77963341b42eb745e145ea870319b8ec370a08308"},
      {"password hunter2", password,
       "a0c7bcb051fbaf742057c27ab87db16b1c5cfd441f3f46076ba7e733bb0e25d4"},
  };
}

class StretchEngines : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override {
    if (GetParam() == Engine::Automatic && !CAES::ProcessorHasAes()) {
      GTEST_SKIP() << "processor without AES instructions";
    }
  }
};

TEST_P(StretchEngines, MatchesIndependentlyComputedValues) {
  for (const auto& c : Cases()) {
    SCOPED_TRACE(c.what);
    const Bytes expected = Hex(c.expectedPrefix);
    Bytes data = c.input;
    Bytes scratch(data.size(), 0xA5);
    StretchBlock(data, scratch, GetParam());
    EXPECT_EQ(Bytes(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(expected.size())),
              expected);
    // The scratch buffer held the next-to-last pass; it must not survive.
    EXPECT_TRUE(std::all_of(scratch.begin(), scratch.end(), [](auto b) { return b == 0; }));
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, StretchEngines,
                         ::testing::Values(Engine::Portable, Engine::Automatic),
                         [](const ::testing::TestParamInfo<Engine>& engine) {
                           return engine.param == Engine::Portable ? "Portable" : "Accelerated";
                         });

TEST(StretchBlockOverloads, OwnScratchGivesTheSameResult) {
  Bytes given(48);
  for (std::size_t i = 0; i < given.size(); ++i) given[i] = static_cast<std::uint8_t>(255 - i);
  Bytes own = given;
  Bytes scratch(given.size());
  StretchBlock(given, scratch);
  StretchBlock(own);
  EXPECT_EQ(own, given);
}

// Bad lengths are the cipher's misuse error; the data is untouched and the
// scratch buffer still wiped.
TEST(StretchBlockMisuse, RejectsPartialBlocksAndMismatchedScratch) {
  const struct {
    const char* what;
    std::size_t dataBytes;
    std::size_t scratchBytes;
  } cases[] = {
      {"empty", 0, 0},
      {"partial block", 24, 24},
      {"scratch too short", 32, 16},
      {"scratch too long", 16, 32},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes data(c.dataBytes, 0x5A);
    Bytes scratch(c.scratchBytes, 0xA5);
    try {
      StretchBlock(data, scratch);
      ADD_FAILURE() << "no exception";
    } catch (const std::logic_error& e) {
      EXPECT_STREQ(e.what(), "Data not multiple of Block Size");
    }
    EXPECT_EQ(data, Bytes(c.dataBytes, 0x5A));
    EXPECT_EQ(scratch, Bytes(c.scratchBytes, 0));
  }
}

}  // namespace
}  // namespace vellumo::protect
