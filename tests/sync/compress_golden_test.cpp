// The compressor's output is part of what sync servers hold: a faster encoder
// must produce the same streams byte for byte.  These digests were taken from
// the encoder as it was before any speed work, over a generated corpus that
// exercises every path (text in UTF-16LE and 8-bit, runs, noise, raw blocks,
// both distance tables, far matches).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "sync/compress.h"
#include "sync/sha1.h"

namespace vellumo::sync {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Note-like text from a fixed vocabulary, so that matches come at every
// distance class; utf16 doubles it into UTF-16LE with some non-Latin units.
Bytes Text(std::size_t size, std::uint32_t seed, bool utf16) {
  static const char* const kWords[] = {
      "the",   "note",  "launcher", "<run>", "C:\\Windows\\", "notepad.exe", "calc",  "\r\n",
      "every", "day",   "morning",  "a",     "password",     "{TAB}",       "login", "user@example.com",
      "of",    "to",    "and",      "item",  "open",         "folder",      "12:30", "reminder"};
  std::mt19937 gen(seed);
  Bytes out;
  while (out.size() < size) {
    const std::string word = kWords[gen() % (sizeof kWords / sizeof kWords[0])];
    const bool cjk = utf16 && gen() % 7 == 0;
    for (char ch : word + " ") {
      if (utf16) {
        const std::uint16_t unit = cjk ? static_cast<std::uint16_t>(0x4E00 + (gen() % 64)) : static_cast<std::uint8_t>(ch);
        out.push_back(static_cast<std::uint8_t>(unit));
        out.push_back(static_cast<std::uint8_t>(unit >> 8));
      } else {
        out.push_back(static_cast<std::uint8_t>(ch));
      }
    }
  }
  out.resize(size);
  return out;
}

Bytes Noise(std::size_t size, std::uint32_t seed) {
  std::mt19937 gen(seed);
  Bytes out(size);
  for (auto& b : out) b = static_cast<std::uint8_t>(gen());
  return out;
}

// Text, runs and noise in turn, with copies from far back.
Bytes Mixed(std::size_t size, std::uint32_t seed) {
  std::mt19937 gen(seed);
  Bytes out;
  while (out.size() < size) {
    Bytes part;
    switch (gen() % 4) {
      case 0: part = Text(gen() % 4000, static_cast<std::uint32_t>(gen()), true); break;
      case 1: part = Bytes(gen() % 500, static_cast<std::uint8_t>(gen())); break;
      case 2: part = Noise(gen() % 2000, static_cast<std::uint32_t>(gen())); break;
      default:
        if (out.size() > 30000) {
          const std::size_t from = gen() % (out.size() - 20000);
          part.assign(out.begin() + static_cast<std::ptrdiff_t>(from),
                      out.begin() + static_cast<std::ptrdiff_t>(from + gen() % 3000));
        }
    }
    out.insert(out.end(), part.begin(), part.end());
  }
  out.resize(size);
  return out;
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
