// The encoder reads its candidates ahead from per-bucket arrays instead of
// following the hash chains link by link.  The chains define the stream, so
// both searches must agree on every input: the cases below are built to
// reach the places where the arrays stop being the chains (slots reused by
// positions a table size apart, raw blocks that make the input go in again,
// buckets that fill up, inputs too large for the kept tables) and to run
// one after another on the same thread, so that tables left by one call
// meet the next.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "compress_corpus.h"
#include "sync/compress.h"
#include "sync/compress_reference.h"

namespace vellumo::sync {
namespace {

using corpus::Bytes;

Bytes StreamOf(const Bytes& input, bool linkByLink) {
  Bytes stream(CompressBound(input.size()));
  std::size_t size = 0;
  const int result = linkByLink ? CompressPayloadLinkByLink(input, stream, size)
                                : CompressPayload(input, stream, size);
  EXPECT_EQ(result, kPayloadOk);
  stream.resize(size);
  return stream;
}

// Text with a far copy repeated at intervals just over and under the table
// size, so that walks run into reused slots and on into other buckets.
Bytes FarRepeats(std::size_t size, std::uint32_t seed) {
  std::mt19937 gen(seed);
  Bytes out = corpus::Text(9000, seed, true);
  while (out.size() < size) {
    const std::size_t back = 32768 + (gen() % 64) - 32;
    if (out.size() > back) {
      const std::size_t from = out.size() - back;
      out.insert(out.end(), out.begin() + static_cast<std::ptrdiff_t>(from),
                 out.begin() + static_cast<std::ptrdiff_t>(from + 200 + gen() % 3000));
    }
    const Bytes filler = corpus::Text(500 + gen() % 4000, static_cast<std::uint32_t>(gen()), gen() % 2 == 0);
    out.insert(out.end(), filler.begin(), filler.end());
  }
  out.resize(size);
  return out;
}

// Noise and text in short turns: raw blocks again and again, each making the
// positions after it go into the chains a second time.
Bytes NoiseAndText(std::size_t size, std::uint32_t seed) {
  std::mt19937 gen(seed);
  Bytes out;
  while (out.size() < size) {
    const Bytes part = gen() % 2 == 0 ? corpus::Noise(40 + gen() % 300, static_cast<std::uint32_t>(gen()))
                                      : corpus::Text(40 + gen() % 600, static_cast<std::uint32_t>(gen()), true);
    out.insert(out.end(), part.begin(), part.end());
  }
  out.resize(size);
  return out;
}

TEST(CompressSearch, ReadingAheadGivesTheStreamsOfTheChains) {
  struct Case {
    std::string name;
    Bytes input;
  };
  std::vector<Case> cases;
  for (std::uint32_t seed = 1; seed <= 4; ++seed) {
    cases.push_back({"mixed 100 KiB #" + std::to_string(seed), corpus::Mixed(kMaxPayloadBytes, 100 + seed)});
    cases.push_back({"far repeats #" + std::to_string(seed), FarRepeats(kMaxPayloadBytes, 200 + seed)});
    cases.push_back({"noise and text #" + std::to_string(seed), NoiseAndText(70000, 300 + seed)});
    cases.push_back({"short mixed #" + std::to_string(seed), corpus::Mixed(1 + seed * 997, 400 + seed)});
  }
  // Hashes of one value fill few buckets to the brim.
  cases.push_back({"two-byte pattern", [] {
                     Bytes b(90000);
                     for (std::size_t i = 0; i < b.size(); ++i) b[i] = (i / 3) % 2 == 0 ? 'a' : 'b';
                     return b;
                   }()});
  // Larger than the kept tables: the call gets tables of its own.
  cases.push_back({"mixed 200 KiB", corpus::Mixed(200 * 1024, 500)});
  cases.push_back({"far repeats 150 KiB", FarRepeats(150 * 1024, 501)});
  // The order matters too: each call starts on what the previous one left.
  for (const Case& c : cases) {
    EXPECT_EQ(StreamOf(c.input, false), StreamOf(c.input, true)) << c.name;
  }
}

}  // namespace
}  // namespace vellumo::sync
