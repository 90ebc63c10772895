// fuzz-sources: src/sync/compress.cpp
//
// Compression must succeed within CompressBound and decompress back to the
// same bytes, into an output of exactly the input's size.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "sync/compress.h"

using vellumo::sync::CompressBound;
using vellumo::sync::CompressPayload;
using vellumo::sync::DecompressPayload;
using vellumo::sync::kPayloadOk;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> input(data, data + size);
  std::vector<std::uint8_t> stream(CompressBound(size));
  std::size_t streamSize = 0;
  if (CompressPayload(input, stream, streamSize) != kPayloadOk) __builtin_trap();
  if (streamSize > stream.size()) __builtin_trap();
  stream.resize(streamSize);  // exact size: the decoder must not read past it

  std::vector<std::uint8_t> output(size);
  std::size_t outputSize = 0;
  if (DecompressPayload(stream, output, outputSize) != kPayloadOk) __builtin_trap();
  if (outputSize != size || (size > 0 && std::memcmp(output.data(), data, size) != 0)) __builtin_trap();
  return 0;
}
