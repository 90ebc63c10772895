// fuzz-sources: src/sync/frames.cpp src/sync/item_block.cpp src/sync/sync_verifier.cpp
// fuzz-sources: src/sync/sha1.cpp src/protect/engine_choice.cpp src/platform/secure_random_posix.cpp
//
// Arbitrary bytes as what the client receives, taken off the front frame by
// frame as the receive loop does.  An accepted frame builds back to its own
// bytes, except where the client reads more leniently than a server builds:
// an item whose sealed part is not whole blocks (unsealing refuses it and the
// note's error is raised), a notice of odd length, and the frames a server
// may pad, which build back to their bytes before the padding.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <variant>
#include <vector>

#include "sync/frames.h"

using namespace vellumo::sync;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> input(data, data + size);  // exact size for ASan
  std::span<const std::uint8_t> rest(input);
  while (true) {
    std::size_t frameBytes = 0;
    if (ScanFrame(rest, frameBytes) != FrameError::kOk) break;
    if (frameBytes < kFrameHeaderBytes || frameBytes > rest.size()) __builtin_trap();
    const auto frame = rest.first(frameBytes);
    ServerMessage message;
    if (ParseServerFrame(frame, message) == FrameError::kOk) {
      Frame rebuilt;
      if (BuildFrame(message, rebuilt) == FrameError::kOk) {
        const bool padAllowed =
            std::holds_alternative<HeartbeatAnswer>(message) || std::holds_alternative<RegisterStatus>(message) ||
            std::holds_alternative<ListRequest>(message) || std::holds_alternative<UploadRequest>(message);
        if (padAllowed ? rebuilt.size() > frame.size() : rebuilt.size() != frame.size()) __builtin_trap();
        // Past the length field the fields are the frame's own bytes.
        if (!std::equal(rebuilt.begin() + kFrameLengthBytes, rebuilt.end(), frame.begin() + kFrameLengthBytes))
          __builtin_trap();
      } else if (!std::holds_alternative<ServerItem>(message) &&
                 !std::holds_alternative<ServerNotice>(message)) {
        __builtin_trap();
      }
      if (const auto* notice = std::get_if<ServerNotice>(&message);
          notice != nullptr && ShownNoticeText(notice->text).size() > kNoticeShownBytes) {
        __builtin_trap();
      }
    }
    rest = rest.subspan(frameBytes);
  }
  return 0;
}
