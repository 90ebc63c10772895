#pragma once
// The constant-time portable engine for 16-byte blocks, on the processor's
// byte-shuffle instruction (SSSE3 PSHUFB), which every x86 processor of the
// last fifteen years has, AES instructions or not.
//
// SubBytes never indexes memory by state bytes: the S-box is held as sixteen
// 16-byte rows in registers, PSHUFB looks the low nibble of every state byte
// up in each row at once, and a saturating add per row zeroes the lookups of
// rows that must not count.  Every row is read for every byte, so the
// instructions and the memory touched are the same whatever the key and data.
#include <cstddef>
#include <cstdint>

#include "protect/rijndael_schedule.h"

namespace vellumo::protect::vperm {

// cpuid reports SSSE3 (and this is an x86 build); asked once.
[[nodiscard]] bool Available() noexcept;

// The engine comes in two forms with identical results: 128-bit registers
// (SSSE3), and 256-bit registers (AVX2) where one shuffle looks a state up
// in two S-box rows at once.  kBest is the wider one the processor has;
// tests name a form to check both.
enum class Form { kBest, k128, k256 };
[[nodiscard]] bool FormAvailable(Form form) noexcept;

// Only when Available() (and FormAvailable(form)) and s.blockBytes == 16.
// in and out may be the same.
void EncryptBlock(const RijndaelSchedule& s, const std::uint8_t* in, std::uint8_t* out,
                  Form form = Form::kBest) noexcept;
void DecryptBlock(const RijndaelSchedule& s, const std::uint8_t* in, std::uint8_t* out,
                  Form form = Form::kBest) noexcept;

// SubBytes of four bytes in place, for the key schedule.  Only when
// Available().
void SubWord(std::uint8_t* word) noexcept;

// CBC over whole blocks of a and b alternately: a into b, b back into a,
// roundTrips times, one chaining value running through all of it (read from
// and written back to chain).  The state stays in registers throughout.
void CbcRoundTrips(const RijndaelSchedule& s, std::uint8_t* chain, std::uint8_t* a,
                   std::uint8_t* b, std::size_t bytes, int roundTrips,
                   Form form = Form::kBest) noexcept;

}  // namespace vellumo::protect::vperm
