#pragma once
// SHA-1 (FIPS 180) for item hashes and the sync password verifier.  SHA-1 is
// kept because the server identifies stored items by it, not for collision
// resistance.
//
// Two block engines give identical digests: the processor's SHA instructions
// where cpuid reports them, and portable code.  Neither branches on or indexes
// by message data, so the time taken depends only on the message length.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace vellumo::sync {

inline constexpr std::size_t kSha1DigestBytes = 20;
inline constexpr std::size_t kSha1BlockBytes = 64;
using Sha1Digest = std::array<std::uint8_t, kSha1DigestBytes>;

enum class Sha1Engine {
  kAuto,      // the fastest engine this processor supports
  kPortable,  // plain C++
  kShaNi,     // SHA extensions (x86); falls back to kPortable where absent
};

// True when the engine would really be used on this processor.
[[nodiscard]] bool Sha1EngineAvailable(Sha1Engine engine) noexcept;

// Streaming hash: construct (or Reset), Update any number of times, Final.
// Final returns the digest and leaves the object reset for a new message.
// The buffered message bytes and chaining state are wiped on Final, Reset and
// destruction, since the verifier hashes a password through this object.
class Sha1 {
 public:
  explicit Sha1(Sha1Engine engine = Sha1Engine::kAuto) noexcept;
  ~Sha1();
  Sha1(const Sha1&) = delete;
  Sha1& operator=(const Sha1&) = delete;

  void Reset() noexcept;
  void Update(std::span<const std::uint8_t> data) noexcept;
  [[nodiscard]] Sha1Digest Final() noexcept;

  // The engine actually in use (never kAuto).
  [[nodiscard]] Sha1Engine engine() const noexcept { return engine_; }

 private:
  using BlockFunction = void (*)(std::uint32_t* state, const std::uint8_t* blocks,
                                 std::size_t blockCount) noexcept;

  Sha1Engine engine_;
  BlockFunction compress_;
  std::uint32_t state_[5];
  std::uint8_t buffer_[kSha1BlockBytes];
  std::size_t bufferedBytes_ = 0;
  std::uint64_t totalBytes_ = 0;
};

// One-shot form.
[[nodiscard]] Sha1Digest Sha1Hash(std::span<const std::uint8_t> data,
                                  Sha1Engine engine = Sha1Engine::kAuto) noexcept;

}  // namespace vellumo::sync
