// The compressor's output is part of what sync servers hold: a faster encoder
// must produce the same streams byte for byte.  These digests were taken from
// the encoder as it was before any speed work, over a generated corpus that
// exercises every path (text in UTF-16LE and 8-bit, runs, noise, raw blocks,
// both distance tables, far matches).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "compress_corpus.h"
#include "sync/compress.h"
#include "sync/sha1.h"

namespace vellumo::sync {
namespace {

using corpus::Bytes;
using corpus::Mixed;
using corpus::Noise;
using corpus::Text;

std::string Hex(const Sha1Digest& d) {
  std::string out;
  char buf[3];
  for (std::uint8_t b : d) {
    std::snprintf(buf, sizeof buf, "%02x", b);
    out += buf;
  }
  return out;
}

struct GoldenCase {
  const char* name;
  Bytes input;
  std::size_t streamBytes;
  const char* streamSha1;
};

std::vector<GoldenCase> Cases() {
  return {
      {"utf16 text 32 KiB", Text(32 * 1024, 1, true), 7583, "498bb3f50c0752b7d8770a0c96e2b0d587ca4757"},
      {"utf16 text 64 KiB", Text(64 * 1024, 2, true), 15063, "ca6ecc35cc60761d35b5626b32cf585958420f3f"},
      {"utf16 text 100 KiB", Text(kMaxPayloadBytes, 3, true), 23083, "06ea299d4ae00b780953ba9dcb5d8acc2d04a0d5"},
      {"8-bit text 100 KiB", Text(kMaxPayloadBytes, 4, false), 20049, "208fae5faef7fb6b2c935f895d4be077d19efcdf"},
      {"mixed 100 KiB", Mixed(kMaxPayloadBytes, 5), 44041, "f29b742d141a86bcce7baf1d4619030184fd3fc6"},
      {"mixed 7 KiB", Mixed(7000, 6), 2399, "fd0bda79b54fe1bee5489ada901b9420de93bbe5"},
      {"noise 100 KiB", Noise(kMaxPayloadBytes, 7), 102907, "bf288f93d94dbdca8ce69c74a64804c269f8e6a5"},
      {"run 100 KiB", Bytes(kMaxPayloadBytes, 0x20), 11, "f9c6d6edd7d84d28a6ab3115f6278b22aa96206d"},
      {"short text", Text(37, 8, true), 39, "eb4ae7975f8ed33c1ef71cc2650563abb0a01587"},
  };
}

TEST(CompressGolden, StreamsStayByteIdentical) {
  for (const GoldenCase& c : Cases()) {
    Bytes stream(CompressBound(c.input.size()));
    std::size_t size = 0;
    ASSERT_EQ(CompressPayload(c.input, stream, size), kPayloadOk) << c.name;
    stream.resize(size);
    EXPECT_EQ(size, c.streamBytes) << c.name;
    EXPECT_EQ(Hex(Sha1Hash(stream)), c.streamSha1) << c.name;
  }
}

}  // namespace
}  // namespace vellumo::sync
