#include "protect/rijndael_aesni.h"

#include <cstdlib>

#include "protect/engine_choice.h"

#if defined(__x86_64__) || defined(__i386__)
#define VELLUMO_HAVE_AESNI 1
#include <cpuid.h>
#include <immintrin.h>
#else
#define VELLUMO_HAVE_AESNI 0
#endif

namespace vellumo::protect::aesni {

#if VELLUMO_HAVE_AESNI

#define VELLUMO_AES_TARGET __attribute__((target("aes,sse2")))

namespace {

bool QueryCpu() noexcept {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return false;
  return (ecx & bit_AES) != 0;
}

VELLUMO_AES_TARGET __m128i Load(const std::uint8_t* p) noexcept {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

VELLUMO_AES_TARGET void Store(std::uint8_t* p, __m128i v) noexcept {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

// One step of the AES-128 schedule: the assist result's top word is
// SubWord(RotWord(w3)) ^ rcon, which every word of the next key absorbs
// through the running XOR of the previous key's words.
template <int Rcon>
VELLUMO_AES_TARGET __m128i NextKey128(__m128i key) noexcept {
  __m128i assist = _mm_shuffle_epi32(_mm_aeskeygenassist_si128(key, Rcon), 0xFF);
  key = _mm_xor_si128(key, _mm_slli_si128(key, 4));
  key = _mm_xor_si128(key, _mm_slli_si128(key, 4));
  key = _mm_xor_si128(key, _mm_slli_si128(key, 4));
  return _mm_xor_si128(key, assist);
}

VELLUMO_AES_TARGET void Expand128(const std::uint8_t* key, RijndaelSchedule& out) noexcept {
  std::uint8_t* enc = out.enc.data();
  __m128i k = Load(key);
  Store(enc, k);
  k = NextKey128<0x01>(k); Store(enc + 16 * 1, k);
  k = NextKey128<0x02>(k); Store(enc + 16 * 2, k);
  k = NextKey128<0x04>(k); Store(enc + 16 * 3, k);
  k = NextKey128<0x08>(k); Store(enc + 16 * 4, k);
  k = NextKey128<0x10>(k); Store(enc + 16 * 5, k);
  k = NextKey128<0x20>(k); Store(enc + 16 * 6, k);
  k = NextKey128<0x40>(k); Store(enc + 16 * 7, k);
  k = NextKey128<0x80>(k); Store(enc + 16 * 8, k);
  k = NextKey128<0x1B>(k); Store(enc + 16 * 9, k);
  k = NextKey128<0x36>(k); Store(enc + 16 * 10, k);
}

VELLUMO_AES_TARGET void Invert(RijndaelSchedule& out) noexcept {
  const std::size_t nr = out.rounds;
  Store(out.dec.data(), Load(out.enc.data() + 16 * nr));
  for (std::size_t r = 1; r < nr; ++r) {
    Store(out.dec.data() + 16 * r, _mm_aesimc_si128(Load(out.enc.data() + 16 * (nr - r))));
  }
  Store(out.dec.data() + 16 * nr, Load(out.enc.data()));
}

}  // namespace

bool Available() noexcept {
  static const bool available = QueryCpu();
  return available && !PortableEnginesForced();
}

void ExpandKey(std::span<const std::uint8_t> key, RijndaelSchedule& out) noexcept {
  if (key.size() != 16) {
    ExpandRijndaelKey(key, 16, out);  // portable schedule; AES-NI rounds
    return;
  }
  out.blockBytes = 16;
  out.rounds = 10;
  out.enc.fill(0);
  out.dec.fill(0);
  Expand128(key.data(), out);
  Invert(out);
}

VELLUMO_AES_TARGET void EncryptBlock(const RijndaelSchedule& s, std::span<const std::uint8_t> in,
                                     std::span<std::uint8_t> out) noexcept {
  const std::uint8_t* k = s.enc.data();
  __m128i x = _mm_xor_si128(Load(in.data()), Load(k));
  for (std::size_t r = 1; r < s.rounds; ++r) x = _mm_aesenc_si128(x, Load(k + 16 * r));
  Store(out.data(), _mm_aesenclast_si128(x, Load(k + 16 * s.rounds)));
}

VELLUMO_AES_TARGET void DecryptBlock(const RijndaelSchedule& s, std::span<const std::uint8_t> in,
                                     std::span<std::uint8_t> out) noexcept {
  const std::uint8_t* k = s.dec.data();
  __m128i x = _mm_xor_si128(Load(in.data()), Load(k));
  for (std::size_t r = 1; r < s.rounds; ++r) x = _mm_aesdec_si128(x, Load(k + 16 * r));
  Store(out.data(), _mm_aesdeclast_si128(x, Load(k + 16 * s.rounds)));
}

namespace {

// One CBC encryption with the eleven AES-128 round keys held in registers.
struct Keys128 {
  __m128i k[11];
};

[[gnu::always_inline]] VELLUMO_AES_TARGET inline __m128i Encrypt128(const Keys128& keys,
                                                                    __m128i x) noexcept {
  x = _mm_xor_si128(x, keys.k[0]);
  for (int r = 1; r < 10; ++r) x = _mm_aesenc_si128(x, keys.k[r]);
  return _mm_aesenclast_si128(x, keys.k[10]);
}

VELLUMO_AES_TARGET void CbcRoundTrips128(const RijndaelSchedule& s, std::uint8_t* chain,
                                         std::uint8_t* a, std::uint8_t* b, std::size_t bytes,
                                         int roundTrips) noexcept {
  Keys128 keys;
  for (int r = 0; r <= 10; ++r) keys.k[r] = Load(s.enc.data() + 16 * r);
  __m128i c = Load(chain);
  for (int trip = 0; trip < roundTrips; ++trip) {
    for (std::size_t off = 0; off < bytes; off += 16) {
      c = Encrypt128(keys, _mm_xor_si128(c, Load(a + off)));
      Store(b + off, c);
    }
    for (std::size_t off = 0; off < bytes; off += 16) {
      c = Encrypt128(keys, _mm_xor_si128(c, Load(b + off)));
      Store(a + off, c);
    }
  }
  Store(chain, c);
}

}  // namespace

VELLUMO_AES_TARGET void CbcRoundTrips(const RijndaelSchedule& s, std::uint8_t* chain,
                                      std::uint8_t* a, std::uint8_t* b, std::size_t bytes,
                                      int roundTrips) noexcept {
  if (s.rounds == 10) {
    CbcRoundTrips128(s, chain, a, b, bytes, roundTrips);
    return;
  }
  __m128i c = Load(chain);
  for (int trip = 0; trip < roundTrips; ++trip) {
    for (int pass = 0; pass < 2; ++pass) {
      const std::uint8_t* from = pass == 0 ? a : b;
      std::uint8_t* to = pass == 0 ? b : a;
      for (std::size_t off = 0; off < bytes; off += 16) {
        Store(to + off, _mm_xor_si128(c, Load(from + off)));
        EncryptBlock(s, std::span<const std::uint8_t>(to + off, 16), std::span<std::uint8_t>(to + off, 16));
        c = Load(to + off);
      }
    }
  }
  Store(chain, c);
}

#else  // no AES instructions on this architecture

bool Available() noexcept { return false; }
void ExpandKey(std::span<const std::uint8_t>, RijndaelSchedule&) noexcept { std::abort(); }
void EncryptBlock(const RijndaelSchedule&, std::span<const std::uint8_t>,
                  std::span<std::uint8_t>) noexcept {
  std::abort();
}
void DecryptBlock(const RijndaelSchedule&, std::span<const std::uint8_t>,
                  std::span<std::uint8_t>) noexcept {
  std::abort();
}
void CbcRoundTrips(const RijndaelSchedule&, std::uint8_t*, std::uint8_t*, std::uint8_t*,
                   std::size_t, int) noexcept {
  std::abort();
}

#endif

}  // namespace vellumo::protect::aesni
