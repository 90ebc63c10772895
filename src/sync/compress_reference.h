#pragma once
// The compressor with its search following the hash chains one link at a
// time, as the streams are defined, without the bucket arrays that let
// CompressPayload read candidates ahead.  Only tests call it: both must give
// the same stream for every input.
#include <cstddef>
#include <cstdint>
#include <span>

namespace vellumo::sync {

[[nodiscard]] int CompressPayloadLinkByLink(std::span<const std::uint8_t> input,
                                            std::span<std::uint8_t> output,
                                            std::size_t& streamSizeBytes);

}  // namespace vellumo::sync
