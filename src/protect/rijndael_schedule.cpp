#include "protect/rijndael_schedule.h"

#include <algorithm>
#include <array>

#include "protect/wipe_guard.h"
#include "protect/rijndael_tables.h"
#include "protect/rijndael_vperm.h"

namespace vellumo::protect {

using detail::kSBox;

namespace {

// The key is secret, so where the processor allows, its bytes go through the
// shuffle-based S-box rather than a table lookup.
void SubWord(std::array<std::uint8_t, 4>& word) noexcept {
  if (vperm::Available()) {
    vperm::SubWord(word.data());
  } else {
    for (auto& b : word) b = kSBox[b];
  }
}

}  // namespace

void ExpandRijndaelKey(std::span<const std::uint8_t> key, std::size_t blockBytes,
                       RijndaelSchedule& out) noexcept {
  const std::size_t nk = key.size() / 4;
  const std::size_t nb = blockBytes / 4;
  out.blockBytes = blockBytes;
  out.rounds = std::max(nk, nb) + 6;
  const std::size_t words = nb * (out.rounds + 1);

  std::uint8_t* w = out.enc.data();
  std::copy(key.begin(), key.end(), w);
  std::uint8_t rcon = 1;
  std::array<std::uint8_t, 4> temp{};
  WipeGuard wipeTemp(temp);
  for (std::size_t i = nk; i < words; ++i) {
    std::copy_n(w + 4 * (i - 1), 4, temp.begin());
    if (i % nk == 0) {
      // RotWord, SubWord, then the round constant into the first byte.
      std::rotate(temp.begin(), temp.begin() + 1, temp.end());
      SubWord(temp);
      temp[0] = static_cast<std::uint8_t>(temp[0] ^ rcon);
      rcon = detail::XTime(rcon);
    } else if (nk > 6 && i % nk == 4) {
      SubWord(temp);
    }
    for (std::size_t j = 0; j < 4; ++j) {
      w[4 * i + j] = static_cast<std::uint8_t>(w[4 * (i - nk) + j] ^ temp[j]);
    }
  }
  // Unused tail bytes stay zero so that a schedule never carries a previous
  // key's words.
  std::fill(out.enc.begin() + static_cast<std::ptrdiff_t>(4 * words), out.enc.end(),
            std::uint8_t{0});
  DeriveInverseSchedule(out);
}

void DeriveInverseSchedule(RijndaelSchedule& out) noexcept {
  const std::size_t bytes = out.blockBytes;
  const std::size_t nr = out.rounds;
  for (std::size_t r = 0; r <= nr; ++r) {
    std::uint8_t* dst = out.dec.data() + r * bytes;
    std::copy_n(out.enc.data() + (nr - r) * bytes, bytes, dst);
    if (r != 0 && r != nr) {
      for (std::size_t c = 0; c < bytes; c += 4) detail::InvMixColumn(dst + c);
    }
  }
  std::fill(out.dec.begin() + static_cast<std::ptrdiff_t>((nr + 1) * bytes), out.dec.end(),
            std::uint8_t{0});
}

}  // namespace vellumo::protect
