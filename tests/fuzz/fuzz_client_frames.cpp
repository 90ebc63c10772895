// fuzz-sources: src/sync/frames.cpp src/sync/item_block.cpp src/sync/sync_verifier.cpp
// fuzz-sources: src/sync/sha1.cpp src/protect/engine_choice.cpp src/platform/secure_random_posix.cpp
//
// Arbitrary bytes as what a sync server receives: the preamble, then frames
// taken off the front as a receive loop would.  Every frame the parser
// accepts must build back to exactly the bytes it came from.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <span>
#include <vector>

#include "sync/frames.h"

using namespace vellumo::sync;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> input(data, data + size);  // exact size for ASan
  std::span<const std::uint8_t> rest(input);

  ProgramVersion version;
  std::size_t consumed = 0;
  const FrameError pre = ParsePreamble(rest, version, consumed);
  if (pre == FrameError::kOk) {
    if (consumed > rest.size() || BuildPreamble(version).size() != consumed) __builtin_trap();
    rest = rest.subspan(consumed);
  } else if (consumed != 0) {
    __builtin_trap();
  }

  while (true) {
    std::size_t frameBytes = 0;
    if (ScanFrame(rest, frameBytes) != FrameError::kOk) break;
    if (frameBytes < kFrameHeaderBytes || frameBytes > rest.size()) __builtin_trap();
    const auto frame = rest.first(frameBytes);
    ClientMessage message;
    if (ParseClientFrame(frame, message) == FrameError::kOk) {
      Frame rebuilt;
      if (BuildFrame(message, rebuilt) != FrameError::kOk) __builtin_trap();
      if (rebuilt.size() != frame.size() ||
          !std::equal(rebuilt.begin(), rebuilt.end(), frame.begin())) {
        __builtin_trap();
      }
    }
    rest = rest.subspan(frameBytes);
  }
  return 0;
}
