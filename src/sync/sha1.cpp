#include "sync/sha1.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/bytes.h"
#include "platform/secure_random.h"
#include "protect/engine_choice.h"
#include "protect/wipe_guard.h"

#if defined(__x86_64__) || defined(__i386__)
#define VELLUMO_SHA1_X86 1
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace vellumo::sync {
namespace {

constexpr std::uint32_t kInitialState[5] = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u,
                                            0xC3D2E1F0u};

constexpr std::uint32_t Rotl(std::uint32_t x, int n) noexcept {
  return (x << n) | (x >> (32 - n));
}

// One round; the caller rotates the roles of a..e instead of moving values,
// so a fully unrolled block has no register shuffling.  T picks the round
// function and constant at compile time.
template <int T>
[[gnu::always_inline]] inline void Round(std::uint32_t a, std::uint32_t& b, std::uint32_t c,
                                         std::uint32_t d, std::uint32_t& e,
                                         std::uint32_t* w) noexcept {
  std::uint32_t wt;
  if constexpr (T < 16) {
    wt = w[T];
  } else {
    wt = Rotl(w[(T + 13) & 15] ^ w[(T + 8) & 15] ^ w[(T + 2) & 15] ^ w[T & 15], 1);
    w[T & 15] = wt;
  }
  std::uint32_t f;
  std::uint32_t k;
  if constexpr (T < 20) {
    f = d ^ (b & (c ^ d));
    k = 0x5A827999u;
  } else if constexpr (T < 40) {
    f = b ^ c ^ d;
    k = 0x6ED9EBA1u;
  } else if constexpr (T < 60) {
    f = (b & c) | (d & (b | c));
    k = 0x8F1BBCDCu;
  } else {
    f = b ^ c ^ d;
    k = 0xCA62C1D6u;
  }
  e += Rotl(a, 5) + f + k + wt;
  b = Rotl(b, 30);
}

// Five rounds bring the roles back to where they started.
template <int T>
[[gnu::always_inline]] inline void FiveRounds(std::uint32_t& a, std::uint32_t& b, std::uint32_t& c,
                                              std::uint32_t& d, std::uint32_t& e,
                                              std::uint32_t* w) noexcept {
  Round<T>(a, b, c, d, e, w);
  Round<T + 1>(e, a, b, c, d, w);
  Round<T + 2>(d, e, a, b, c, w);
  Round<T + 3>(c, d, e, a, b, w);
  Round<T + 4>(b, c, d, e, a, w);
}

template <int... Group>
[[gnu::always_inline]] inline void AllRounds(std::uint32_t& a, std::uint32_t& b, std::uint32_t& c,
                                             std::uint32_t& d, std::uint32_t& e, std::uint32_t* w,
                                             std::integer_sequence<int, Group...>) noexcept {
  (FiveRounds<5 * Group>(a, b, c, d, e, w), ...);
}

void CompressPortable(std::uint32_t* state, const std::uint8_t* blocks,
                      std::size_t blockCount) noexcept {
  // A 16-word ring instead of the 80-word schedule keeps the state that
  // must be wiped small and in cache.  It is wiped once, after the last
  // block: wiping it per block cost more than the rounds.
  std::uint32_t w[16];
  protect::WipeGuard wipeSchedule(w);
  std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
  for (; blockCount > 0; --blockCount, blocks += kSha1BlockBytes) {
    for (int i = 0; i < 16; ++i) w[i] = LoadU32BE(blocks + 4 * i);
    const std::uint32_t a0 = a, b0 = b, c0 = c, d0 = d, e0 = e;
    AllRounds(a, b, c, d, e, w, std::make_integer_sequence<int, 16>{});
    a += a0;
    b += b0;
    c += c0;
    d += d0;
    e += e0;
  }
  state[0] = a;
  state[1] = b;
  state[2] = c;
  state[3] = d;
  state[4] = e;
}

#if VELLUMO_SHA1_X86
#define VELLUMO_SHA_TARGET __attribute__((target("sha,sse4.1")))

// The SHA instructions keep A..D in one register with A in the top lane and E
// in the top lane of another; message words are loaded big-endian and in
// reverse lane order so W0 sits on top as well.
//
// m is a ring of four registers: group I of four rounds uses W[4I..4I+3],
// which from I = 4 on replaces the words of group I - 4.  The schedule
// W[t] = rotl1(W[t-3]^W[t-8]^W[t-14]^W[t-16]) maps onto msg1 (t-16, t-14), a
// plain xor (t-8) and msg2 (t-3, rotate).  Fully inlined with constant
// indices, the ring never leaves the registers, so there is no schedule in
// memory to wipe.
template <int I>
[[gnu::always_inline]] VELLUMO_SHA_TARGET inline void ShaGroup(__m128i (&m)[4], __m128i& abcd,
                                                               __m128i& prev) noexcept {
  if constexpr (I >= 4) {
    m[I & 3] = _mm_sha1msg2_epu32(
        _mm_xor_si128(_mm_sha1msg1_epu32(m[I & 3], m[(I + 1) & 3]), m[(I + 2) & 3]),
        m[(I + 3) & 3]);
  }
  // nexte derives this group's E from A of four rounds earlier.
  const __m128i e = _mm_sha1nexte_epu32(prev, m[I & 3]);
  prev = abcd;
  abcd = _mm_sha1rnds4_epu32(abcd, e, I / 5);
}

template <int... I>
[[gnu::always_inline]] VELLUMO_SHA_TARGET inline void ShaGroups(
    __m128i (&m)[4], __m128i& abcd, __m128i& prev, std::integer_sequence<int, I...>) noexcept {
  (ShaGroup<I + 1>(m, abcd, prev), ...);
}

VELLUMO_SHA_TARGET void CompressShaNi(std::uint32_t* state, const std::uint8_t* blocks,
                                      std::size_t blockCount) noexcept {
  const __m128i byteSwap = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
  __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0x1B);
  __m128i e0 = _mm_set_epi32(static_cast<int>(state[4]), 0, 0, 0);

  for (; blockCount > 0; --blockCount, blocks += kSha1BlockBytes) {
    const __m128i abcdSave = abcd;
    const __m128i eSave = e0;
    __m128i m[4];
    for (int i = 0; i < 4; ++i) {
      m[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * i)),
                              byteSwap);
    }
    __m128i prev = abcd;
    abcd = _mm_sha1rnds4_epu32(abcd, _mm_add_epi32(e0, m[0]), 0);
    ShaGroups(m, abcd, prev, std::make_integer_sequence<int, 19>{});
    e0 = _mm_sha1nexte_epu32(prev, eSave);
    abcd = _mm_add_epi32(abcd, abcdSave);
  }

  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_shuffle_epi32(abcd, 0x1B));
  state[4] = static_cast<std::uint32_t>(_mm_extract_epi32(e0, 3));
}

bool CpuHasShaNi() noexcept {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (__get_cpuid(1, &a, &b, &c, &d) == 0) return false;
  const bool ssse3 = (c & (1u << 9)) != 0;
  const bool sse41 = (c & (1u << 19)) != 0;
  if (__get_cpuid_count(7, 0, &a, &b, &c, &d) == 0) return false;
  const bool sha = (b & (1u << 29)) != 0;
  return ssse3 && sse41 && sha;
}
#else
bool CpuHasShaNi() noexcept { return false; }
#endif

bool ShaNiPresent() noexcept {
  static const bool present = CpuHasShaNi();
  return present && !protect::PortableEnginesForced();
}

}  // namespace

bool Sha1EngineAvailable(Sha1Engine engine) noexcept {
  switch (engine) {
    case Sha1Engine::kAuto:
    case Sha1Engine::kPortable:
      return true;
    case Sha1Engine::kShaNi:
      return ShaNiPresent();
  }
  return false;
}

Sha1::Sha1(Sha1Engine engine) noexcept : engine_(Sha1Engine::kPortable), compress_(&CompressPortable) {
#if VELLUMO_SHA1_X86
  if (engine != Sha1Engine::kPortable && ShaNiPresent()) {
    engine_ = Sha1Engine::kShaNi;
    compress_ = &CompressShaNi;
  }
#else
  (void)engine;
#endif
  Reset();
}

Sha1::~Sha1() {
  platform::SecureWipe(state_, sizeof state_);
  platform::SecureWipe(buffer_, sizeof buffer_);
}

void Sha1::Reset() noexcept {
  std::memcpy(state_, kInitialState, sizeof state_);
  platform::SecureWipe(buffer_, sizeof buffer_);
  bufferedBytes_ = 0;
  totalBytes_ = 0;
}

void Sha1::Update(std::span<const std::uint8_t> data) noexcept {
  if (data.empty()) return;
  const std::uint8_t* p = data.data();
  std::size_t left = data.size();
  totalBytes_ += left;
  if (bufferedBytes_ > 0) {
    const std::size_t take = std::min(left, kSha1BlockBytes - bufferedBytes_);
    std::memcpy(buffer_ + bufferedBytes_, p, take);
    bufferedBytes_ += take;
    p += take;
    left -= take;
    if (bufferedBytes_ < kSha1BlockBytes) return;
    compress_(state_, buffer_, 1);
    bufferedBytes_ = 0;
  }
  const std::size_t whole = left / kSha1BlockBytes;
  if (whole > 0) {
    compress_(state_, p, whole);
    p += whole * kSha1BlockBytes;
    left -= whole * kSha1BlockBytes;
  }
  if (left > 0) {
    std::memcpy(buffer_, p, left);
    bufferedBytes_ = left;
  }
}

Sha1Digest Sha1::Final() noexcept {
  // Padding: 0x80, zeros up to 56 mod 64, then the bit length big-endian.
  const std::uint64_t bitLength = totalBytes_ * 8;
  buffer_[bufferedBytes_++] = 0x80;
  if (bufferedBytes_ > kSha1BlockBytes - 8) {
    std::memset(buffer_ + bufferedBytes_, 0, kSha1BlockBytes - bufferedBytes_);
    compress_(state_, buffer_, 1);
    bufferedBytes_ = 0;
  }
  std::memset(buffer_ + bufferedBytes_, 0, kSha1BlockBytes - 8 - bufferedBytes_);
  StoreU32BE(buffer_ + 56, static_cast<std::uint32_t>(bitLength >> 32));
  StoreU32BE(buffer_ + 60, static_cast<std::uint32_t>(bitLength));
  compress_(state_, buffer_, 1);

  Sha1Digest digest;
  for (int i = 0; i < 5; ++i) StoreU32BE(digest.data() + 4 * i, state_[i]);
  Reset();
  return digest;
}

Sha1Digest Sha1Hash(std::span<const std::uint8_t> data, Sha1Engine engine) noexcept {
  Sha1 sha(engine);
  sha.Update(data);
  return sha.Final();
}

}  // namespace vellumo::sync
