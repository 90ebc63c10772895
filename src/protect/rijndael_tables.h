#pragma once
// The Rijndael S-box and its inverse, computed at compile time from their
// definition (multiplicative inverse in GF(2^8), then the affine map) rather
// than typed in, so that a transcription slip cannot hide in 512 constants.
#include <array>
#include <cstdint>

namespace vellumo::protect::detail {

// Multiplication by x in GF(2^8) modulo x^8 + x^4 + x^3 + x + 1, without a
// data-dependent branch.
constexpr std::uint8_t XTime(std::uint8_t b) noexcept {
  return static_cast<std::uint8_t>((b << 1) ^ ((b >> 7) * 0x1B));
}

constexpr std::uint8_t Rotl8(std::uint8_t b, int n) noexcept {
  return static_cast<std::uint8_t>((b << n) | (b >> (8 - n)));
}

constexpr std::array<std::uint8_t, 256> MakeSBox() noexcept {
  std::array<std::uint8_t, 256> box{};
  // p walks the multiplicative group by powers of 3; q walks it by powers of
  // 3^-1, so q is always the inverse of p.
  std::uint8_t p = 1;
  std::uint8_t q = 1;
  do {
    p = static_cast<std::uint8_t>(p ^ XTime(p));
    q = static_cast<std::uint8_t>(q ^ (q << 1));
    q = static_cast<std::uint8_t>(q ^ (q << 2));
    q = static_cast<std::uint8_t>(q ^ (q << 4));
    if (q & 0x80) q = static_cast<std::uint8_t>(q ^ 0x09);
    const auto affine = static_cast<std::uint8_t>(q ^ Rotl8(q, 1) ^ Rotl8(q, 2) ^ Rotl8(q, 3) ^
                                                  Rotl8(q, 4));
    box[p] = static_cast<std::uint8_t>(affine ^ 0x63);
  } while (p != 1);
  box[0] = 0x63;  // 0 has no inverse; the affine map of 0
  return box;
}

constexpr std::array<std::uint8_t, 256> MakeInverse(const std::array<std::uint8_t, 256>& box) {
  std::array<std::uint8_t, 256> inv{};
  for (int i = 0; i < 256; ++i) inv[box[static_cast<std::size_t>(i)]] = static_cast<std::uint8_t>(i);
  return inv;
}

inline constexpr std::array<std::uint8_t, 256> kSBox = MakeSBox();
inline constexpr std::array<std::uint8_t, 256> kInvSBox = MakeInverse(kSBox);
static_assert(kSBox[0x00] == 0x63 && kSBox[0x01] == 0x7C && kSBox[0x53] == 0xED &&
              kSBox[0xFF] == 0x16);
static_assert(kInvSBox[0x63] == 0x00 && kInvSBox[0xED] == 0x53);

// InvMixColumns of one column in place: a pre-multiplication by
// (04 x^2 + 05) reduces it to MixColumns (the Rijndael book, 4.1.3).
constexpr void MixColumn(std::uint8_t* c) noexcept {
  const auto all = static_cast<std::uint8_t>(c[0] ^ c[1] ^ c[2] ^ c[3]);
  const std::uint8_t c0 = c[0];
  c[0] = static_cast<std::uint8_t>(c[0] ^ all ^ XTime(static_cast<std::uint8_t>(c[0] ^ c[1])));
  c[1] = static_cast<std::uint8_t>(c[1] ^ all ^ XTime(static_cast<std::uint8_t>(c[1] ^ c[2])));
  c[2] = static_cast<std::uint8_t>(c[2] ^ all ^ XTime(static_cast<std::uint8_t>(c[2] ^ c[3])));
  c[3] = static_cast<std::uint8_t>(c[3] ^ all ^ XTime(static_cast<std::uint8_t>(c[3] ^ c0)));
}

constexpr void InvMixColumn(std::uint8_t* c) noexcept {
  const std::uint8_t u = XTime(XTime(static_cast<std::uint8_t>(c[0] ^ c[2])));
  const std::uint8_t v = XTime(XTime(static_cast<std::uint8_t>(c[1] ^ c[3])));
  c[0] = static_cast<std::uint8_t>(c[0] ^ u);
  c[1] = static_cast<std::uint8_t>(c[1] ^ v);
  c[2] = static_cast<std::uint8_t>(c[2] ^ u);
  c[3] = static_cast<std::uint8_t>(c[3] ^ v);
  MixColumn(c);
}

// ShiftRows offsets of rows 1-3 for Nb = 4, 6 and 8 columns.
constexpr std::array<std::size_t, 4> ShiftOffsets(std::size_t columns) noexcept {
  return columns == 8 ? std::array<std::size_t, 4>{0, 1, 3, 4}
                      : std::array<std::size_t, 4>{0, 1, 2, 3};
}

}  // namespace vellumo::protect::detail
