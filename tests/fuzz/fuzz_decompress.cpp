// fuzz-sources: src/sync/compress.cpp
//
// Arbitrary bytes through the payload decoder.  The first two input bytes
// pick the output capacity so that the capacity checks are reached as often
// as the stream checks; the output buffer has exactly that size, so ASan
// reports any write past it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "sync/compress.h"

using vellumo::sync::DecompressPayload;
using vellumo::sync::kPayloadOk;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::size_t capacity = (static_cast<std::size_t>(data[0]) | static_cast<std::size_t>(data[1]) << 8) * 2;
  const std::vector<std::uint8_t> stream(data + 2, data + size);  // exact size for ASan
  std::vector<std::uint8_t> out(capacity);
  std::size_t produced = 0;
  const int code = DecompressPayload(stream, out, produced);
  if (produced > capacity) __builtin_trap();
  if (code != kPayloadOk) return 0;

  // Decoding is a function of the stream alone: the exact capacity gives the
  // same bytes, one byte less fails.
  std::vector<std::uint8_t> again(produced);
  std::size_t produced2 = 0;
  if (DecompressPayload(stream, again, produced2) != kPayloadOk || produced2 != produced ||
      (produced > 0 && std::memcmp(again.data(), out.data(), produced) != 0)) {
    __builtin_trap();
  }
  if (produced > 0) {
    std::vector<std::uint8_t> shorter(produced - 1);
    std::size_t produced3 = 0;
    if (DecompressPayload(stream, shorter, produced3) == kPayloadOk) __builtin_trap();
  }
  return 0;
}
