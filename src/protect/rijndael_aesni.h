#pragma once
// The engine on the processor's AES instructions (AES-NI): 16-byte blocks
// only, any of the three key sizes.
//
// Constant-time.  Each round is one AESENC/AESDEC instruction with no
// data-dependent branch or memory access, and a 16-byte key is expanded with
// AESKEYGENASSIST.  24- and 32-byte keys (which the program never uses) are
// expanded by the portable schedule, whose S-box is the shuffle-based one of
// rijndael_vperm.h.
#include <cstddef>
#include <cstdint>
#include <span>

#include "protect/rijndael_schedule.h"

namespace vellumo::protect::aesni {

// cpuid says the processor has the AES instructions (and this is an x86
// build); asked once and remembered.
[[nodiscard]] bool Available() noexcept;

// Only when Available() and the block is 16 bytes.  Leaves out in the same
// layout as ExpandRijndaelKey.
void ExpandKey(std::span<const std::uint8_t> key, RijndaelSchedule& out) noexcept;

// One 16-byte block; in and out may be the same block.
void EncryptBlock(const RijndaelSchedule& s, std::span<const std::uint8_t> in,
                  std::span<std::uint8_t> out) noexcept;
void DecryptBlock(const RijndaelSchedule& s, std::span<const std::uint8_t> in,
                  std::span<std::uint8_t> out) noexcept;

// CBC over whole blocks of a and b alternately: a into b, b back into a,
// roundTrips times, one chaining value running through all of it (read from
// and written back to chain).  Round keys and chain stay in registers for
// the whole call.
void CbcRoundTrips(const RijndaelSchedule& s, std::uint8_t* chain, std::uint8_t* a,
                   std::uint8_t* b, std::size_t bytes, int roundTrips) noexcept;

}  // namespace vellumo::protect::aesni
