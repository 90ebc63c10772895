#include "protect/caes.h"

#include <algorithm>
#include <stdexcept>

#include "platform/secure_random.h"
#include "protect/rijndael_aesni.h"
#include "protect/rijndael_portable.h"
#include "protect/rijndael_vperm.h"
#include "protect/wipe_guard.h"

namespace vellumo::protect {
namespace {

bool ValidLength(std::size_t bytes) noexcept { return bytes == 16 || bytes == 24 || bytes == 32; }

void XorInto(std::span<std::uint8_t> dst, std::span<const std::uint8_t> a,
             std::span<const std::uint8_t> b) noexcept {
  for (std::size_t i = 0; i < dst.size(); ++i) dst[i] = static_cast<std::uint8_t>(a[i] ^ b[i]);
}

}  // namespace

CAES::CAES(Engine engine) noexcept : engine_(engine) {}

CAES::~CAES() {
  platform::SecureWipe(&schedule_, sizeof schedule_);
  platform::SecureWipe(chain0_.data(), chain0_.size());
  platform::SecureWipe(chain_.data(), chain_.size());
}

bool CAES::ProcessorHasAes() noexcept { return aesni::Available(); }

void CAES::MakeKey(std::span<const std::uint8_t> key, std::span<const std::uint8_t> chain) {
  // Everything is checked before anything changes, so a rejected call leaves
  // a previously keyed object usable.
  if (key.empty()) throw std::logic_error("Empty key");
  if (!ValidLength(key.size())) throw std::logic_error("Incorrect key length");
  if (!ValidLength(chain.size())) throw std::logic_error("Incorrect block length");

  keyLength_ = key.size();
  blockSize_ = chain.size();
  accelerated_ = engine_ == Engine::Automatic && blockSize_ == 16 && aesni::Available();
  if (accelerated_) {
    aesni::ExpandKey(key, schedule_);
  } else {
    ExpandRijndaelKey(key, blockSize_, schedule_);
  }
  chain0_.fill(0);
  std::copy(chain.begin(), chain.end(), chain0_.begin());
  chain_ = chain0_;
  keyReady_ = true;
}

void CAES::ResetChain() noexcept { chain_ = chain0_; }

void CAES::CheckData(std::size_t inBytes, std::size_t outBytes) const {
  if (!keyReady_) throw std::logic_error("Object not Initialized");
  if (inBytes == 0 || inBytes % blockSize_ != 0 || outBytes != inBytes) {
    throw std::logic_error("Data not multiple of Block Size");
  }
}

void CAES::EncryptOne(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) const noexcept {
  if (accelerated_) {
    aesni::EncryptBlock(schedule_, in, out);
  } else {
    portable::EncryptBlock(schedule_, in, out);
  }
}

void CAES::DecryptOne(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) const noexcept {
  if (accelerated_) {
    aesni::DecryptBlock(schedule_, in, out);
  } else {
    portable::DecryptBlock(schedule_, in, out);
  }
}

// Each mode reads a whole input block before it writes the output block, so
// in and out may be the same buffer.  Unknown mode values behave as ECB.
void CAES::Encrypt(std::span<const std::uint8_t> in, std::span<std::uint8_t> out, Mode mode) {
  CheckData(in.size(), out.size());
  const std::size_t bs = blockSize_;
  std::array<std::uint8_t, kRijndaelMaxBlockBytes> temp{};
  WipeGuard wipeTemp(temp);
  const std::span<std::uint8_t> block(temp.data(), bs);
  const std::span<std::uint8_t> chain(chain_.data(), bs);
  for (std::size_t off = 0; off < in.size(); off += bs) {
    const auto src = in.subspan(off, bs);
    const auto dst = out.subspan(off, bs);
    switch (mode) {
      case Mode::CBC:
        XorInto(block, src, chain);
        EncryptOne(block, dst);
        std::copy(dst.begin(), dst.end(), chain.begin());
        break;
      case Mode::CFB:
        EncryptOne(chain, block);
        XorInto(dst, block, src);
        std::copy(dst.begin(), dst.end(), chain.begin());
        break;
      case Mode::ECB:
      default:
        EncryptOne(src, dst);
        break;
    }
  }
}

void CAES::EncryptCbcRoundTrips(std::span<std::uint8_t> a, std::span<std::uint8_t> b,
                                int roundTrips) {
  CheckData(a.size(), b.size());
  if (blockSize_ == 16 && accelerated_) {
    aesni::CbcRoundTrips(schedule_, chain_.data(), a.data(), b.data(), a.size(), roundTrips);
  } else if (blockSize_ == 16 && vperm::Available()) {
    vperm::CbcRoundTrips(schedule_, chain_.data(), a.data(), b.data(), a.size(), roundTrips);
  } else {
    for (int trip = 0; trip < roundTrips; ++trip) {
      Encrypt(a, b, Mode::CBC);
      Encrypt(b, a, Mode::CBC);
    }
  }
}

void CAES::Decrypt(std::span<const std::uint8_t> in, std::span<std::uint8_t> out, Mode mode) {
  CheckData(in.size(), out.size());
  const std::size_t bs = blockSize_;
  std::array<std::uint8_t, kRijndaelMaxBlockBytes> temp{};
  WipeGuard wipeTemp(temp);
  const std::span<std::uint8_t> block(temp.data(), bs);
  const std::span<std::uint8_t> chain(chain_.data(), bs);
  for (std::size_t off = 0; off < in.size(); off += bs) {
    const auto src = in.subspan(off, bs);
    const auto dst = out.subspan(off, bs);
    switch (mode) {
      case Mode::CBC:
        // The ciphertext block becomes the next chaining value; keep it
        // before dst may overwrite it.
        std::copy(src.begin(), src.end(), block.begin());
        DecryptOne(block, dst);
        XorInto(dst, dst, chain);
        std::copy(block.begin(), block.end(), chain.begin());
        break;
      case Mode::CFB:
        // Cipher feedback runs the cipher forwards in both directions.
        EncryptOne(chain, block);
        std::copy(src.begin(), src.end(), chain.begin());
        XorInto(dst, block, chain);
        break;
      case Mode::ECB:
      default:
        DecryptOne(src, dst);
        break;
    }
  }
}

}  // namespace vellumo::protect
