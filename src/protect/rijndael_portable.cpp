#include "protect/rijndael_portable.h"

#include <algorithm>
#include <array>
#include <utility>

#include "protect/wipe_guard.h"
#include "protect/rijndael_tables.h"
#include "protect/rijndael_vperm.h"

namespace vellumo::protect::portable {
namespace {

using State = std::array<std::uint8_t, kRijndaelMaxBlockBytes>;

void AddRoundKey(State& st, const std::uint8_t* key, std::size_t bytes) noexcept {
  for (std::size_t i = 0; i < bytes; ++i) st[i] = static_cast<std::uint8_t>(st[i] ^ key[i]);
}

// ShiftRows as a permutation of state bytes: byte i of the result comes from
// byte source[i].  Worked out once per block width rather than per byte.
using Permutation = std::array<std::uint8_t, kRijndaelMaxBlockBytes>;

constexpr Permutation MakeShift(std::size_t nb) noexcept {
  Permutation source{};
  const auto offset = detail::ShiftOffsets(nb);
  for (std::size_t c = 0; c < nb; ++c) {
    for (std::size_t row = 0; row < 4; ++row) {
      source[4 * c + row] = static_cast<std::uint8_t>(4 * ((c + offset[row]) % nb) + row);
    }
  }
  return source;
}

constexpr Permutation kShift4 = MakeShift(4);
constexpr Permutation kShift6 = MakeShift(6);
constexpr Permutation kShift8 = MakeShift(8);
static_assert(kShift4[1] == 5 && kShift4[2] == 10 && kShift4[3] == 15 && kShift4[13] == 1);

const Permutation& ShiftFor(std::size_t nb) noexcept {
  return nb == 4 ? kShift4 : nb == 6 ? kShift6 : kShift8;
}

// SubBytes and ShiftRows in one pass.
void SubShift(const State& in, State& out, const Permutation& source, std::size_t bytes) noexcept {
  for (std::size_t i = 0; i < bytes; ++i) out[i] = detail::kSBox[in[source[i]]];
}

void InvSubShift(const State& in, State& out, const Permutation& source,
                 std::size_t bytes) noexcept {
  for (std::size_t i = 0; i < bytes; ++i) out[source[i]] = detail::kInvSBox[in[i]];
}

}  // namespace

void EncryptBlock(const RijndaelSchedule& s, std::span<const std::uint8_t> in,
                  std::span<std::uint8_t> out) noexcept {
  if (s.blockBytes == 16 && vperm::Available()) {
    vperm::EncryptBlock(s, in.data(), out.data());
  } else {
    EncryptBlockWithTables(s, in, out);
  }
}

void DecryptBlock(const RijndaelSchedule& s, std::span<const std::uint8_t> in,
                  std::span<std::uint8_t> out) noexcept {
  if (s.blockBytes == 16 && vperm::Available()) {
    vperm::DecryptBlock(s, in.data(), out.data());
  } else {
    DecryptBlockWithTables(s, in, out);
  }
}

void EncryptBlockWithTables(const RijndaelSchedule& s, std::span<const std::uint8_t> in,
                            std::span<std::uint8_t> out) noexcept {
  const std::size_t bytes = s.blockBytes;
  const Permutation& shift = ShiftFor(bytes / 4);
  State a{};
  State b{};
  WipeGuard wipeA(a);
  WipeGuard wipeB(b);
  State* x = &a;  // the state entering the round
  State* y = &b;
  std::copy_n(in.begin(), bytes, x->begin());
  AddRoundKey(*x, s.enc.data(), bytes);
  for (std::size_t r = 1; r < s.rounds; ++r) {
    SubShift(*x, *y, shift, bytes);
    for (std::size_t c = 0; c < bytes; c += 4) detail::MixColumn(&(*y)[c]);
    AddRoundKey(*y, s.enc.data() + r * bytes, bytes);
    std::swap(x, y);
  }
  SubShift(*x, *y, shift, bytes);
  AddRoundKey(*y, s.enc.data() + s.rounds * bytes, bytes);
  std::copy_n(y->begin(), bytes, out.begin());
}

// The equivalent inverse cipher, so that the round keys are those of
// RijndaelSchedule::dec in order, as with AESDEC.
void DecryptBlockWithTables(const RijndaelSchedule& s, std::span<const std::uint8_t> in,
                            std::span<std::uint8_t> out) noexcept {
  const std::size_t bytes = s.blockBytes;
  const Permutation& shift = ShiftFor(bytes / 4);
  State a{};
  State b{};
  WipeGuard wipeA(a);
  WipeGuard wipeB(b);
  State* x = &a;
  State* y = &b;
  std::copy_n(in.begin(), bytes, x->begin());
  AddRoundKey(*x, s.dec.data(), bytes);
  for (std::size_t r = 1; r < s.rounds; ++r) {
    InvSubShift(*x, *y, shift, bytes);
    for (std::size_t c = 0; c < bytes; c += 4) detail::InvMixColumn(&(*y)[c]);
    AddRoundKey(*y, s.dec.data() + r * bytes, bytes);
    std::swap(x, y);
  }
  InvSubShift(*x, *y, shift, bytes);
  AddRoundKey(*y, s.dec.data() + s.rounds * bytes, bytes);
  std::copy_n(y->begin(), bytes, out.begin());
}

}  // namespace vellumo::protect::portable
