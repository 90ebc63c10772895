#include "sync/sha1.h"

#include <algorithm>
#include <cstring>

#include "platform/bytes.h"
#include "platform/secure_random.h"
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

void CompressPortable(std::uint32_t* state, const std::uint8_t* blocks,
                      std::size_t blockCount) noexcept {
  for (; blockCount > 0; --blockCount, blocks += kSha1BlockBytes) {
    // A 16-word ring instead of the 80-word schedule keeps the state that
    // must be wiped small and in cache.
    std::uint32_t w[16];
    protect::WipeGuard wipeSchedule(w);
    for (int i = 0; i < 16; ++i) w[i] = LoadU32BE(blocks + 4 * i);
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
    for (int t = 0; t < 80; ++t) {
      std::uint32_t wt;
      if (t < 16) {
        wt = w[t];
      } else {
        wt = Rotl(w[(t + 13) & 15] ^ w[(t + 8) & 15] ^ w[(t + 2) & 15] ^ w[t & 15], 1);
        w[t & 15] = wt;
      }
      std::uint32_t f;
      std::uint32_t k;
      if (t < 20) {
        f = (b & c) | (~b & d);
        k = 0x5A827999u;
      } else if (t < 40) {
        f = b ^ c ^ d;
        k = 0x6ED9EBA1u;
      } else if (t < 60) {
        f = (b & c) | (b & d) | (c & d);
        k = 0x8F1BBCDCu;
      } else {
        f = b ^ c ^ d;
        k = 0xCA62C1D6u;
      }
      const std::uint32_t temp = Rotl(a, 5) + f + e + k + wt;
      e = d;
      d = c;
      c = Rotl(b, 30);
      b = a;
      a = temp;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
  }
}

#if VELLUMO_SHA1_X86
#define VELLUMO_SHA_TARGET __attribute__((target("sha,sse4.1")))

// The SHA instructions keep A..D in one register with A in the top lane and E
// in the top lane of another; message words are loaded big-endian and in
// reverse lane order so W0 sits on top as well.
VELLUMO_SHA_TARGET void CompressShaNi(std::uint32_t* state, const std::uint8_t* blocks,
                                      std::size_t blockCount) noexcept {
  const __m128i byteSwap = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
  __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0x1B);
  __m128i e0 = _mm_set_epi32(static_cast<int>(state[4]), 0, 0, 0);

  for (; blockCount > 0; --blockCount, blocks += kSha1BlockBytes) {
    const __m128i abcdSave = abcd;
    const __m128i eSave = e0;
    // w[i] holds W[4i..4i+3]; the schedule W[t] = rotl1(W[t-3]^W[t-8]^W[t-14]^W[t-16])
    // maps onto msg1 (t-16, t-14), a plain xor (t-8) and msg2 (t-3, rotate).
    __m128i w[20];
    protect::WipeGuard wipeSchedule(w);
    for (int i = 0; i < 4; ++i) {
      w[i] = _mm_shuffle_epi8(
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * i)), byteSwap);
    }
    for (int i = 4; i < 20; ++i) {
      w[i] = _mm_sha1msg2_epu32(
          _mm_xor_si128(_mm_sha1msg1_epu32(w[i - 4], w[i - 3]), w[i - 2]), w[i - 1]);
    }

    // nexte derives the next E from A of four rounds earlier, so the ABCD
    // before each round group is carried along.
    __m128i prev = abcd;
    abcd = _mm_sha1rnds4_epu32(abcd, _mm_add_epi32(e0, w[0]), 0);
    for (int i = 1; i < 5; ++i) {
      const __m128i e = _mm_sha1nexte_epu32(prev, w[i]);
      prev = abcd;
      abcd = _mm_sha1rnds4_epu32(abcd, e, 0);
    }
    for (int i = 5; i < 10; ++i) {
      const __m128i e = _mm_sha1nexte_epu32(prev, w[i]);
      prev = abcd;
      abcd = _mm_sha1rnds4_epu32(abcd, e, 1);
    }
    for (int i = 10; i < 15; ++i) {
      const __m128i e = _mm_sha1nexte_epu32(prev, w[i]);
      prev = abcd;
      abcd = _mm_sha1rnds4_epu32(abcd, e, 2);
    }
    for (int i = 15; i < 20; ++i) {
      const __m128i e = _mm_sha1nexte_epu32(prev, w[i]);
      prev = abcd;
      abcd = _mm_sha1rnds4_epu32(abcd, e, 3);
    }
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
  return present;
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
