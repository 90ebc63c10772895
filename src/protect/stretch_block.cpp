#include "protect/stretch_block.h"

#include <array>
#include <vector>

#include "protect/wipe_guard.h"

namespace vellumo::protect {

void StretchBlock(std::span<std::uint8_t> data, std::span<std::uint8_t> scratch,
                  CAES::Engine engine) {
  WipeGuard wipeScratch(scratch);
  static constexpr std::array<std::uint8_t, 16> kKey = {'T', 'L', 'B', 'X'};
  static constexpr std::array<std::uint8_t, 16> kIv{};
  CAES aes(engine);
  aes.MakeKey(kKey, kIv);
  aes.EncryptCbcRoundTrips(data, scratch, kStretchRounds);
}

void StretchBlock(std::span<std::uint8_t> data, CAES::Engine engine) {
  std::vector<std::uint8_t> scratch(data.size());
  StretchBlock(data, scratch, engine);  // wipes scratch
}

}  // namespace vellumo::protect
