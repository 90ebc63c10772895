#pragma once
// Expanded Rijndael keys shared by the portable and the AES-instruction
// engines.  Both engines read the same byte layout, which is also the layout
// the AES instructions expect: round key r occupies bytes
// [r * blockBytes, (r + 1) * blockBytes), column by column, each column four
// bytes top to bottom (FIPS-197 word order).
//
// dec holds the schedule of the equivalent inverse cipher (FIPS-197 5.3.5):
// the encryption round keys in reverse order, with InvMixColumns applied to
// all but the first and the last.  That is the form AESDEC consumes, and the
// portable decryptor uses the same round structure so that one schedule
// serves both engines.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace vellumo::protect {

inline constexpr std::size_t kRijndaelMaxBlockBytes = 32;
inline constexpr std::size_t kRijndaelMaxRounds = 14;
inline constexpr std::size_t kRijndaelMaxScheduleBytes =
    (kRijndaelMaxRounds + 1) * kRijndaelMaxBlockBytes;

struct RijndaelSchedule {
  std::size_t blockBytes = 0;  // 16, 24 or 32 (Nb = blockBytes / 4)
  std::size_t rounds = 0;      // Nr = max(Nk, Nb) + 6
  std::array<std::uint8_t, kRijndaelMaxScheduleBytes> enc{};
  std::array<std::uint8_t, kRijndaelMaxScheduleBytes> dec{};
};

// Key and block lengths must already be valid (16, 24 or 32 bytes).
// Constant-time where the processor has SSSE3 (the S-box of rijndael_vperm.h);
// elsewhere the S-box is a table indexed by key bytes.
void ExpandRijndaelKey(std::span<const std::uint8_t> key, std::size_t blockBytes,
                       RijndaelSchedule& out) noexcept;

// Fills out.dec from out.enc; the AES-instruction key set-up uses it for
// key sizes it does not expand itself.
void DeriveInverseSchedule(RijndaelSchedule& out) noexcept;

}  // namespace vellumo::protect
