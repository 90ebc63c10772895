#pragma once
// The portable Rijndael engine: any of the 16-, 24- and 32-byte blocks.
//
// 16-byte blocks run on the constant-time vector-permute engine
// (rijndael_vperm.h) wherever the processor has SSSE3.  The table code below
// serves the wider blocks, which the program never uses, and processors
// without SSSE3; it is NOT constant-time: SubBytes is a lookup in a 256-byte
// table indexed by secret state bytes, so the cache lines touched depend on
// key and data.
#include <cstdint>
#include <span>

#include "protect/rijndael_schedule.h"

namespace vellumo::protect::portable {

// One block of s.blockBytes; in and out may be the same block.
void EncryptBlock(const RijndaelSchedule& s, std::span<const std::uint8_t> in,
                  std::span<std::uint8_t> out) noexcept;
void DecryptBlock(const RijndaelSchedule& s, std::span<const std::uint8_t> in,
                  std::span<std::uint8_t> out) noexcept;

// The table code alone, whatever the block width and processor (tests
// compare the vector-permute engine with it).
void EncryptBlockWithTables(const RijndaelSchedule& s, std::span<const std::uint8_t> in,
                            std::span<std::uint8_t> out) noexcept;
void DecryptBlockWithTables(const RijndaelSchedule& s, std::span<const std::uint8_t> in,
                            std::span<std::uint8_t> out) noexcept;

}  // namespace vellumo::protect::portable
