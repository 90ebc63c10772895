#include "protect/rijndael_vperm.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <utility>

#include "protect/rijndael_tables.h"

#if defined(__x86_64__) || defined(__i386__)
#define VELLUMO_HAVE_VPERM 1
#include <cpuid.h>
#include <immintrin.h>
#else
#define VELLUMO_HAVE_VPERM 0
#endif

namespace vellumo::protect::vperm {

#if VELLUMO_HAVE_VPERM

#define VELLUMO_VPERM_TARGET __attribute__((target("ssse3")))
#define VELLUMO_VPERM_INLINE [[gnu::always_inline]] VELLUMO_VPERM_TARGET inline

namespace {

bool QueryCpu() noexcept {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return false;
  return (ecx & bit_SSSE3) != 0;
}

using Bytes16 = std::array<std::uint8_t, 16>;

// Byte i of a shuffled register comes from byte mask[i].
constexpr Bytes16 ShiftRowsMask() noexcept {
  Bytes16 m{};
  for (int c = 0; c < 4; ++c) {
    for (int row = 0; row < 4; ++row) m[4 * c + row] = static_cast<std::uint8_t>(4 * ((c + row) % 4) + row);
  }
  return m;
}

constexpr Bytes16 InvShiftRowsMask() noexcept {
  const Bytes16 forward = ShiftRowsMask();
  Bytes16 m{};
  for (int i = 0; i < 16; ++i) m[forward[i]] = static_cast<std::uint8_t>(i);
  return m;
}

// Each byte takes the one n rows further down its own column.
constexpr Bytes16 RotateColumnsMask(int n) noexcept {
  Bytes16 m{};
  for (int i = 0; i < 16; ++i) m[i] = static_cast<std::uint8_t>((i & ~3) | ((i + n) & 3));
  return m;
}

struct alignas(16) Tables {
  std::array<Bytes16, 16> sbox;
  std::array<Bytes16, 16> invSbox;
  Bytes16 shiftRows;
  Bytes16 invShiftRows;
  Bytes16 rot1;
  Bytes16 rot2;
  Bytes16 rot3;
};

// PSHUFB gives row[index & 15], or zero when bit 7 of the index is set.
// Adding 0x80 - 16 (h + 1) with unsigned saturation leaves the low nibble
// alone and clears bit 7 exactly when the byte is below 16 (h + 1): row h
// then contributes for every high nibble up to h.  Storing each row as the
// XOR of two neighbouring S-box rows (D_h = S_h ^ S_(h+1), D_7 = S_7) makes
// the XOR of all contributions the S-box entry.  The upper half (high nibble
// 8..15) works the same on the byte with its top bit flipped; that flip also
// pushes every lower-half byte out of its range.
constexpr std::array<Bytes16, 16> CascadeRows(const std::array<std::uint8_t, 256>& box) noexcept {
  std::array<Bytes16, 16> rows{};
  for (int h = 0; h < 16; ++h) {
    const bool lastOfHalf = (h & 7) == 7;
    for (int l = 0; l < 16; ++l) {
      rows[h][l] = static_cast<std::uint8_t>(box[16 * h + l] ^ (lastOfHalf ? 0 : box[16 * (h + 1) + l]));
    }
  }
  return rows;
}

constexpr Tables MakeTables() noexcept {
  Tables t{};
  t.sbox = CascadeRows(detail::kSBox);
  t.invSbox = CascadeRows(detail::kInvSBox);
  t.shiftRows = ShiftRowsMask();
  t.invShiftRows = InvShiftRowsMask();
  t.rot1 = RotateColumnsMask(1);
  t.rot2 = RotateColumnsMask(2);
  t.rot3 = RotateColumnsMask(3);
  return t;
}

alignas(16) constexpr Tables kTables = MakeTables();

// Checks the cascade on the constant tables at compile time.
constexpr std::uint8_t CascadeLookup(const std::array<Bytes16, 16>& rows, int x) noexcept {
  std::uint8_t out = 0;
  for (int h = 0; h < 16; ++h) {
    const int base = (h & 8) ? (x ^ 0x80) : x;
    const int index = std::min(255, base + 0x80 - 16 * ((h & 7) + 1));
    if ((index & 0x80) == 0) out = static_cast<std::uint8_t>(out ^ rows[h][index & 15]);
  }
  return out;
}

constexpr bool CascadeMatches() noexcept {
  for (int x = 0; x < 256; ++x) {
    if (CascadeLookup(kTables.sbox, x) != detail::kSBox[x]) return false;
    if (CascadeLookup(kTables.invSbox, x) != detail::kInvSBox[x]) return false;
  }
  return true;
}
static_assert(CascadeMatches());

VELLUMO_VPERM_INLINE __m128i Load(const std::uint8_t* p) noexcept {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

VELLUMO_VPERM_INLINE void Store(std::uint8_t* p, __m128i v) noexcept {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

// The sixteen rows of one S-box; all of them are read for every lookup.
// Loaded once per call so that a long chain keeps them in registers.
struct Box {
  __m128i row[16];
};

VELLUMO_VPERM_INLINE Box LoadBox(const std::array<Bytes16, 16>& rows) noexcept {
  Box b;
  for (int h = 0; h < 16; ++h) b.row[h] = Load(rows[h].data());
  return b;
}

template <int H>
VELLUMO_VPERM_INLINE __m128i Slice(const Box& box, __m128i x, __m128i upper) noexcept {
  if constexpr ((H & 7) == 7) {
    return _mm_shuffle_epi8(box.row[H], (H & 8) ? upper : x);
  } else {
    const __m128i bias = _mm_set1_epi8(static_cast<char>(0x80 - 16 * ((H & 7) + 1)));
    return _mm_shuffle_epi8(box.row[H], _mm_adds_epu8((H & 8) ? upper : x, bias));
  }
}

// Sixteen shuffles, four independent XOR chains.
template <int... H>
VELLUMO_VPERM_INLINE __m128i SubstituteRows(const Box& box, __m128i x,
                                            std::integer_sequence<int, H...>) noexcept {
  const __m128i upper = _mm_xor_si128(x, _mm_set1_epi8(static_cast<char>(0x80)));
  __m128i acc[4] = {_mm_setzero_si128(), _mm_setzero_si128(), _mm_setzero_si128(),
                    _mm_setzero_si128()};
  ((acc[H & 3] = _mm_xor_si128(acc[H & 3], Slice<H>(box, x, upper))), ...);
  return _mm_xor_si128(_mm_xor_si128(acc[0], acc[1]), _mm_xor_si128(acc[2], acc[3]));
}

VELLUMO_VPERM_INLINE __m128i Substitute(const Box& box, __m128i x) noexcept {
  return SubstituteRows(box, x, std::make_integer_sequence<int, 16>{});
}

// Multiplication by x of every byte; the reduction mask comes from the sign
// bit by a compare, not a branch.
VELLUMO_VPERM_INLINE __m128i XTime(__m128i v) noexcept {
  const __m128i carry = _mm_cmplt_epi8(v, _mm_setzero_si128());
  return _mm_xor_si128(_mm_add_epi8(v, v), _mm_and_si128(carry, _mm_set1_epi8(0x1B)));
}

struct Masks {
  __m128i shift;
  __m128i rot1;
  __m128i rot2;
  __m128i rot3;
};

VELLUMO_VPERM_INLINE Masks LoadMasks(const Bytes16& shift) noexcept {
  return {Load(shift.data()), Load(kTables.rot1.data()), Load(kTables.rot2.data()),
          Load(kTables.rot3.data())};
}

// out_i = 2 a_i + 3 a_(i+1) + a_(i+2) + a_(i+3) in every column.
VELLUMO_VPERM_INLINE __m128i MixColumns(const Masks& m, __m128i s) noexcept {
  const __m128i r1 = _mm_shuffle_epi8(s, m.rot1);
  const __m128i r2 = _mm_shuffle_epi8(s, m.rot2);
  const __m128i r3 = _mm_shuffle_epi8(s, m.rot3);
  return _mm_xor_si128(_mm_xor_si128(XTime(_mm_xor_si128(s, r1)), r1), _mm_xor_si128(r2, r3));
}

// InvMixColumns as a pre-multiplication by (04 x^2 + 05) followed by
// MixColumns, as the table engine does it.
VELLUMO_VPERM_INLINE __m128i InvMixColumns(const Masks& m, __m128i s) noexcept {
  const __m128i r2 = _mm_shuffle_epi8(s, m.rot2);
  return MixColumns(m, _mm_xor_si128(s, XTime(XTime(_mm_xor_si128(s, r2)))));
}

// AES-128 and the other key sizes differ only in the round count.
VELLUMO_VPERM_INLINE __m128i Encrypt(const Box& box, const Masks& m, const std::uint8_t* keys,
                                     std::size_t rounds, __m128i x) noexcept {
  x = _mm_xor_si128(x, Load(keys));
  for (std::size_t r = 1; r < rounds; ++r) {
    // ShiftRows moves whole bytes, so it may come before SubBytes.
    x = Substitute(box, _mm_shuffle_epi8(x, m.shift));
    x = _mm_xor_si128(MixColumns(m, x), Load(keys + 16 * r));
  }
  x = Substitute(box, _mm_shuffle_epi8(x, m.shift));
  return _mm_xor_si128(x, Load(keys + 16 * rounds));
}

VELLUMO_VPERM_INLINE __m128i Decrypt(const Box& box, const Masks& m, const std::uint8_t* keys,
                                     std::size_t rounds, __m128i x) noexcept {
  x = _mm_xor_si128(x, Load(keys));
  for (std::size_t r = 1; r < rounds; ++r) {
    x = _mm_shuffle_epi8(Substitute(box, x), m.shift);
    x = _mm_xor_si128(InvMixColumns(m, x), Load(keys + 16 * r));
  }
  x = _mm_shuffle_epi8(Substitute(box, x), m.shift);
  return _mm_xor_si128(x, Load(keys + 16 * rounds));
}

}  // namespace

bool Available() noexcept {
  static const bool available = QueryCpu();
  return available;
}

VELLUMO_VPERM_TARGET void EncryptBlock(const RijndaelSchedule& s, const std::uint8_t* in,
                                       std::uint8_t* out) noexcept {
  const Box box = LoadBox(kTables.sbox);
  const Masks m = LoadMasks(kTables.shiftRows);
  Store(out, Encrypt(box, m, s.enc.data(), s.rounds, Load(in)));
}

VELLUMO_VPERM_TARGET void DecryptBlock(const RijndaelSchedule& s, const std::uint8_t* in,
                                       std::uint8_t* out) noexcept {
  const Box box = LoadBox(kTables.invSbox);
  const Masks m = LoadMasks(kTables.invShiftRows);
  Store(out, Decrypt(box, m, s.dec.data(), s.rounds, Load(in)));
}

VELLUMO_VPERM_TARGET void CbcRoundTrips(const RijndaelSchedule& s, std::uint8_t* chain,
                                        std::uint8_t* a, std::uint8_t* b, std::size_t bytes,
                                        int roundTrips) noexcept {
  const Box box = LoadBox(kTables.sbox);
  const Masks m = LoadMasks(kTables.shiftRows);
  __m128i c = Load(chain);
  for (int trip = 0; trip < roundTrips; ++trip) {
    for (std::size_t off = 0; off < bytes; off += 16) {
      c = Encrypt(box, m, s.enc.data(), s.rounds, _mm_xor_si128(c, Load(a + off)));
      Store(b + off, c);
    }
    for (std::size_t off = 0; off < bytes; off += 16) {
      c = Encrypt(box, m, s.enc.data(), s.rounds, _mm_xor_si128(c, Load(b + off)));
      Store(a + off, c);
    }
  }
  Store(chain, c);
}

#else  // no byte-shuffle instruction on this architecture

bool Available() noexcept { return false; }
void EncryptBlock(const RijndaelSchedule&, const std::uint8_t*, std::uint8_t*) noexcept { std::abort(); }
void DecryptBlock(const RijndaelSchedule&, const std::uint8_t*, std::uint8_t*) noexcept { std::abort(); }
void CbcRoundTrips(const RijndaelSchedule&, std::uint8_t*, std::uint8_t*, std::uint8_t*, std::size_t,
                   int) noexcept {
  std::abort();
}

#endif

}  // namespace vellumo::protect::vperm
