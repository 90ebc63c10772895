#include "protect/rijndael_vperm.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "protect/rijndael_tables.h"

// The byte-shuffle forms are compiled with GCC's per-region target pragmas,
// which clang ignores: a clang build (the fuzzers) uses the table engine.
#if (defined(__x86_64__) || defined(__i386__)) && !defined(__clang__)
#define VELLUMO_HAVE_VPERM 1
// GCC does not realign the stack for 256-bit spills on Windows, where the
// stack is only 16-byte aligned, so the wide form is left out there.
#if defined(_WIN32)
#define VELLUMO_VPERM_WIDE 0
#else
#define VELLUMO_VPERM_WIDE 1
#endif
#include <immintrin.h>
#else
#define VELLUMO_HAVE_VPERM 0
#endif

namespace vellumo::protect::vperm {

#if VELLUMO_HAVE_VPERM

namespace {

bool QuerySsse3() noexcept {
  __builtin_cpu_init();
  return __builtin_cpu_supports("ssse3");
}

// Also true only when the operating system saves the 256-bit registers.
bool QueryAvx2() noexcept {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
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

}  // namespace

// Each form is compiled for its own instruction set; nothing outside these
// regions uses it, and the dispatch below enters one only after cpuid.
namespace narrow {
namespace {
#pragma GCC push_options
#pragma GCC target("ssse3")
// The sixteen rows of one S-box; all of them are read for every lookup.
// Loaded once per call so that a long chain keeps them in registers.
struct Box {
  __m128i row[16];
};

[[gnu::always_inline]] inline Box LoadBox(const std::array<Bytes16, 16>& rows) noexcept {
  Box b;
  for (int h = 0; h < 16; ++h) b.row[h] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[h].data()));
  return b;
}

template <int H>
[[gnu::always_inline]] inline __m128i Slice(const Box& box, __m128i x, __m128i upper) noexcept {
  if constexpr ((H & 7) == 7) {
    return _mm_shuffle_epi8(box.row[H], (H & 8) ? upper : x);
  } else {
    const __m128i bias = _mm_set1_epi8(static_cast<char>(0x80 - 16 * ((H & 7) + 1)));
    return _mm_shuffle_epi8(box.row[H], _mm_adds_epu8((H & 8) ? upper : x, bias));
  }
}

// Sixteen shuffles, four independent XOR chains.
template <int... H>
[[gnu::always_inline]] inline __m128i SubstituteRows(const Box& box, __m128i x,
                                            std::integer_sequence<int, H...>) noexcept {
  const __m128i upper = _mm_xor_si128(x, _mm_set1_epi8(static_cast<char>(0x80)));
  __m128i acc[4] = {_mm_setzero_si128(), _mm_setzero_si128(), _mm_setzero_si128(),
                    _mm_setzero_si128()};
  ((acc[H & 3] = _mm_xor_si128(acc[H & 3], Slice<H>(box, x, upper))), ...);
  return _mm_xor_si128(_mm_xor_si128(acc[0], acc[1]), _mm_xor_si128(acc[2], acc[3]));
}

[[gnu::always_inline]] inline __m128i Substitute(const Box& box, __m128i x) noexcept {
  return SubstituteRows(box, x, std::make_integer_sequence<int, 16>{});
}

#include "protect/rijndael_vperm_rounds.inc"

void SubWordImpl(std::uint8_t* word) noexcept {
  std::uint32_t w = 0;
  std::memcpy(&w, word, 4);
  const __m128i x = Substitute(LoadBox(kTables.sbox), _mm_cvtsi32_si128(static_cast<int>(w)));
  w = static_cast<std::uint32_t>(_mm_cvtsi128_si32(x));
  std::memcpy(word, &w, 4);
}
#pragma GCC pop_options
}  // namespace
}  // namespace narrow

#if VELLUMO_VPERM_WIDE
namespace wide {
namespace {
#pragma GCC push_options
#pragma GCC target("avx2")
// The same rows paired in 256-bit registers: row h in the low half, row
// h + 8 in the high half, so one shuffle serves both halves of the S-box.
struct Box {
  __m256i pair[8];
};

[[gnu::always_inline]] inline Box LoadBox(const std::array<Bytes16, 16>& rows) noexcept {
  Box b;
  for (int h = 0; h < 8; ++h) {
    b.pair[h] = _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[h].data()))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[h + 8].data())), 1);
  }
  return b;
}

template <int P>
[[gnu::always_inline]] inline __m256i Pair(const Box& box, __m256i both) noexcept {
  if constexpr (P == 7) {
    return _mm256_shuffle_epi8(box.pair[P], both);
  } else {
    const __m256i bias = _mm256_set1_epi8(static_cast<char>(0x80 - 16 * (P + 1)));
    return _mm256_shuffle_epi8(box.pair[P], _mm256_adds_epu8(both, bias));
  }
}

template <int... P>
[[gnu::always_inline]] inline __m128i SubstitutePairs(const Box& box, __m128i x,
                                                      std::integer_sequence<int, P...>) noexcept {
  // The state in both halves, the high half with its top bits flipped.
  const __m256i flip = _mm256_set_epi64x(static_cast<long long>(0x8080808080808080ull),
                                         static_cast<long long>(0x8080808080808080ull), 0, 0);
  const __m256i both = _mm256_xor_si256(_mm256_broadcastsi128_si256(x), flip);
  __m256i acc[4] = {_mm256_setzero_si256(), _mm256_setzero_si256(), _mm256_setzero_si256(),
                    _mm256_setzero_si256()};
  ((acc[P & 3] = _mm256_xor_si256(acc[P & 3], Pair<P>(box, both))), ...);
  const __m256i all = _mm256_xor_si256(_mm256_xor_si256(acc[0], acc[1]), _mm256_xor_si256(acc[2], acc[3]));
  return _mm_xor_si128(_mm256_castsi256_si128(all), _mm256_extracti128_si256(all, 1));
}

[[gnu::always_inline]] inline __m128i Substitute(const Box& box, __m128i x) noexcept {
  return SubstitutePairs(box, x, std::make_integer_sequence<int, 8>{});
}

#include "protect/rijndael_vperm_rounds.inc"
#pragma GCC pop_options
}  // namespace
}  // namespace wide
#endif

bool Available() noexcept {
  static const bool available = QuerySsse3();
  return available;
}

bool FormAvailable(Form form) noexcept {
  static const bool avx2 = VELLUMO_VPERM_WIDE && QueryAvx2();
  return Available() && (form == Form::k128 || avx2);
}

namespace {

Form Best() noexcept { return FormAvailable(Form::k256) ? Form::k256 : Form::k128; }

}  // namespace

void EncryptBlock(const RijndaelSchedule& s, const std::uint8_t* in, std::uint8_t* out, Form form) noexcept {
  if (form == Form::kBest) form = Best();
#if VELLUMO_VPERM_WIDE
  if (form == Form::k256) {
    wide::EncryptBlockImpl(s, in, out);
    return;
  }
#endif
  narrow::EncryptBlockImpl(s, in, out);
}

void DecryptBlock(const RijndaelSchedule& s, const std::uint8_t* in, std::uint8_t* out, Form form) noexcept {
  if (form == Form::kBest) form = Best();
#if VELLUMO_VPERM_WIDE
  if (form == Form::k256) {
    wide::DecryptBlockImpl(s, in, out);
    return;
  }
#endif
  narrow::DecryptBlockImpl(s, in, out);
}

void SubWord(std::uint8_t* word) noexcept { narrow::SubWordImpl(word); }

void CbcRoundTrips(const RijndaelSchedule& s, std::uint8_t* chain, std::uint8_t* a, std::uint8_t* b,
                   std::size_t bytes, int roundTrips, Form form) noexcept {
  if (form == Form::kBest) form = Best();
#if VELLUMO_VPERM_WIDE
  if (form == Form::k256) {
    wide::CbcRoundTripsImpl(s, chain, a, b, bytes, roundTrips);
    return;
  }
#endif
  narrow::CbcRoundTripsImpl(s, chain, a, b, bytes, roundTrips);
}

#else  // no byte-shuffle instruction on this architecture

bool Available() noexcept { return false; }
bool FormAvailable(Form) noexcept { return false; }
void SubWord(std::uint8_t*) noexcept { std::abort(); }
void EncryptBlock(const RijndaelSchedule&, const std::uint8_t*, std::uint8_t*, Form) noexcept { std::abort(); }
void DecryptBlock(const RijndaelSchedule&, const std::uint8_t*, std::uint8_t*, Form) noexcept { std::abort(); }
void CbcRoundTrips(const RijndaelSchedule&, std::uint8_t*, std::uint8_t*, std::uint8_t*, std::size_t,
                   int, Form) noexcept {
  std::abort();
}

#endif

}  // namespace vellumo::protect::vperm
