// Crypto benchmark: key stretching and SHA-1 against OpenSSL in the same run.
//
//   stretch/ours|openssl      StretchBlock on a 512-byte password block: one
//                             AES-128-CBC chain over 38,000 passes
//   verifier/ours|openssl     SyncVerifier of an 8-character password (about
//                             133 MB through SHA-1 in 2,037-byte updates)
//   sha1_1MiB/ours|openssl    SHA-1 of one 1 MiB buffer
//
// With VELLUMO_FORCE_PORTABLE=1 our portable engines run, and the process
// re-executes itself with OPENSSL_ia32cap masking the AES and SHA
// instructions, so that OpenSSL runs its own fallbacks (the vector-permute
// AES, the SIMD SHA-1) as the anchor.  Each ours/openssl pair checks that
// both produce the same bytes before anything is timed.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "protect/caes.h"
#include "protect/engine_choice.h"
#include "protect/stretch_block.h"
#include "sync/sha1.h"
#include "sync/sync_verifier.h"

namespace {

using vellumo::protect::CAES;

constexpr std::size_t kStretchBytes = 512;

std::vector<std::uint8_t> PasswordBlock() {
  std::vector<std::uint8_t> block(kStretchBytes);
  const char* text = "hunter2";
  std::memcpy(block.data(), text, std::strlen(text));
  return block;
}

// The 8-character password as UTF-16LE.
std::vector<std::uint8_t> PasswordUtf16() {
  std::vector<std::uint8_t> out;
  for (char c : std::string_view("correcth")) {
    out.push_back(static_cast<std::uint8_t>(c));
    out.push_back(0);
  }
  return out;
}

struct CipherCtxFree {
  void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};
struct MdCtxFree {
  void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};

// The same stretch as StretchBlock, on OpenSSL's CBC: the context carries
// the chaining value from one update to the next.
bool OpenSslStretch(std::vector<std::uint8_t>& data, std::vector<std::uint8_t>& scratch) {
  static constexpr std::uint8_t kKey[16] = {'T', 'L', 'B', 'X'};
  static constexpr std::uint8_t kIv[16] = {};
  std::unique_ptr<EVP_CIPHER_CTX, CipherCtxFree> ctx(EVP_CIPHER_CTX_new());
  if (!ctx || EVP_EncryptInit_ex(ctx.get(), EVP_aes_128_cbc(), nullptr, kKey, kIv) != 1) return false;
  EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
  const int n = static_cast<int>(data.size());
  int outLength = 0;
  for (int round = 0; round < vellumo::protect::kStretchRounds; ++round) {
    if (EVP_EncryptUpdate(ctx.get(), scratch.data(), &outLength, data.data(), n) != 1) return false;
    if (EVP_EncryptUpdate(ctx.get(), data.data(), &outLength, scratch.data(), n) != 1) return false;
  }
  return true;
}

bool OpenSslVerifier(const std::vector<std::uint8_t>& password, unsigned char* digest) {
  std::vector<std::uint8_t> unit(password);
  unit.resize(password.size() + vellumo::sync::kSyncVerifierFillerBytes,
              vellumo::sync::kSyncVerifierFillerByte);
  std::unique_ptr<EVP_MD_CTX, MdCtxFree> ctx(EVP_MD_CTX_new());
  if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_sha1(), nullptr) != 1) return false;
  for (std::size_t round = 0; round < vellumo::sync::kSyncVerifierRounds; ++round) {
    if (EVP_DigestUpdate(ctx.get(), unit.data(), unit.size()) != 1) return false;
  }
  unsigned int length = 0;
  return EVP_DigestFinal_ex(ctx.get(), digest, &length) == 1;
}

bool OpenSslSha1(const std::vector<std::uint8_t>& data, unsigned char* digest) {
  unsigned int length = 0;
  return EVP_Digest(data.data(), data.size(), digest, &length, EVP_sha1(), nullptr) == 1;
}

std::vector<std::uint8_t> OneMiB() {
  std::vector<std::uint8_t> data(1 << 20);
  std::uint32_t x = 12345;
  for (auto& b : data) {
    x = x * 1664525u + 1013904223u;
    b = static_cast<std::uint8_t>(x >> 24);
  }
  return data;
}

const char* AesEngineName() {
  CAES probe;
  static constexpr std::uint8_t kKey[16] = {};
  probe.MakeKey(kKey, kKey);
  return probe.Accelerated() ? "aes-instructions" : "portable";
}

const char* ShaEngineName() {
  return vellumo::sync::Sha1(vellumo::sync::Sha1Engine::kAuto).engine() ==
                 vellumo::sync::Sha1Engine::kShaNi
             ? "sha-instructions"
             : "portable";
}

void BM_StretchOurs(benchmark::State& state) {
  for (auto _ : state) {
    auto data = PasswordBlock();
    vellumo::protect::StretchBlock(data);
    benchmark::DoNotOptimize(data.data());
  }
  state.SetLabel(AesEngineName());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 2 *
                          vellumo::protect::kStretchRounds * kStretchBytes);
}

void BM_StretchOpenSsl(benchmark::State& state) {
  std::vector<std::uint8_t> scratch(kStretchBytes);
  for (auto _ : state) {
    auto data = PasswordBlock();
    if (!OpenSslStretch(data, scratch)) state.SkipWithError("OpenSSL failed");
    benchmark::DoNotOptimize(data.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 2 *
                          vellumo::protect::kStretchRounds * kStretchBytes);
}

std::int64_t VerifierBytes() {
  return static_cast<std::int64_t>((PasswordUtf16().size() + vellumo::sync::kSyncVerifierFillerBytes) *
                                   vellumo::sync::kSyncVerifierRounds);
}

void BM_VerifierOurs(benchmark::State& state) {
  const auto password = PasswordUtf16();
  for (auto _ : state) benchmark::DoNotOptimize(vellumo::sync::SyncVerifier(password));
  state.SetLabel(ShaEngineName());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * VerifierBytes());
}

void BM_VerifierOpenSsl(benchmark::State& state) {
  const auto password = PasswordUtf16();
  unsigned char digest[EVP_MAX_MD_SIZE];
  for (auto _ : state) {
    if (!OpenSslVerifier(password, digest)) state.SkipWithError("OpenSSL failed");
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * VerifierBytes());
}

void BM_Sha1Ours(benchmark::State& state) {
  const auto data = OneMiB();
  for (auto _ : state) benchmark::DoNotOptimize(vellumo::sync::Sha1Hash(data));
  state.SetLabel(ShaEngineName());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

void BM_Sha1OpenSsl(benchmark::State& state) {
  const auto data = OneMiB();
  unsigned char digest[EVP_MAX_MD_SIZE];
  for (auto _ : state) {
    if (!OpenSslSha1(data, digest)) state.SkipWithError("OpenSSL failed");
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

// A benchmark that compares wrong bytes quickly is worth nothing.
bool AnchorsAgree() {
  auto ours = PasswordBlock();
  auto theirs = PasswordBlock();
  std::vector<std::uint8_t> scratch(kStretchBytes);
  vellumo::protect::StretchBlock(ours);
  if (!OpenSslStretch(theirs, scratch) || ours != theirs) {
    std::fprintf(stderr, "stretch: OpenSSL and StretchBlock disagree\n");
    return false;
  }
  unsigned char digest[EVP_MAX_MD_SIZE];
  const auto verifier = vellumo::sync::SyncVerifier(PasswordUtf16());
  if (!OpenSslVerifier(PasswordUtf16(), digest) || std::memcmp(digest, verifier.data(), verifier.size()) != 0) {
    std::fprintf(stderr, "verifier: OpenSSL and SyncVerifier disagree\n");
    return false;
  }
  const auto data = OneMiB();
  const auto hash = vellumo::sync::Sha1Hash(data);
  if (!OpenSslSha1(data, digest) || std::memcmp(digest, hash.data(), hash.size()) != 0) {
    std::fprintf(stderr, "sha1: OpenSSL and Sha1Hash disagree\n");
    return false;
  }
  return true;
}

bool ForcedFromEnvironment() {
  const char* v = std::getenv(vellumo::protect::kForcePortableVariable);
  return v != nullptr && *v != '\0' && std::string_view(v) != "0";
}

}  // namespace

int main(int argc, char** argv) {
  if (ForcedFromEnvironment()) {
    // OpenSSL reads its capability mask once, when it is loaded, so the
    // mask needs a fresh process.  The first word clears AES-NI (cpuid 1
    // ECX bit 25), the second the SHA extensions (cpuid 7 EBX bit 29).
    if (std::getenv("OPENSSL_ia32cap") == nullptr) {
      ::setenv("OPENSSL_ia32cap", "~0x200000000000000:~0x20000000", 1);
      ::execv("/proc/self/exe", argv);
      std::perror("execv");
      return 1;
    }
    vellumo::protect::ForcePortableEngines(true);
  }
  if (!AnchorsAgree()) return 1;

  benchmark::RegisterBenchmark("stretch/ours", &BM_StretchOurs)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("stretch/openssl", &BM_StretchOpenSsl)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("verifier/ours", &BM_VerifierOurs)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("verifier/openssl", &BM_VerifierOpenSsl)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("sha1_1MiB/ours", &BM_Sha1Ours)->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("sha1_1MiB/openssl", &BM_Sha1OpenSsl)->Unit(benchmark::kMicrosecond);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
