#pragma once
// Key stretching: turns a password block or a content key into a value that
// is expensive to reproduce.  One AES-128 object keyed with "TLBX" and twelve
// zero bytes, IV zero, CBC-encrypts the data into the scratch buffer and back
// 19000 times; the chaining value runs on across all 38000 passes, so the
// whole is one continuous CBC stream.  The result replaces the data.
//
// Both buffers must have the same whole number of 16-byte blocks (else
// CAES's "Data not multiple of Block Size"); the scratch buffer is wiped
// before returning, also when the call throws.
#include <cstdint>
#include <span>

#include "protect/caes.h"

namespace vellumo::protect {

inline constexpr int kStretchRounds = 19000;

void StretchBlock(std::span<std::uint8_t> data, std::span<std::uint8_t> scratch,
                  CAES::Engine engine = CAES::Engine::Automatic);

// The same with a scratch buffer of its own.
void StretchBlock(std::span<std::uint8_t> data, CAES::Engine engine = CAES::Engine::Automatic);

}  // namespace vellumo::protect
