#pragma once
// CAES: the Rijndael block cipher object behind content protection and
// sealing.  The program itself only ever uses a 16-byte key with a 16-byte
// block (AES-128, FIPS-197) in CBC mode; 24- and 32-byte keys and blocks are
// accepted because Rijndael defines them, and run on the portable engine
// whenever the block is wider than 16 bytes.
//
// The chaining value is part of the object's state: successive Encrypt or
// Decrypt calls on one object continue one chain, so several calls over
// consecutive pieces give exactly the bytes of one call over the whole.
// Nothing resets the chain except MakeKey and ResetChain.
//
// Misuse is reported by throwing std::logic_error whose what() is one of
//   "Empty key"                       MakeKey without key bytes
//   "Incorrect key length"            key of other than 16, 24 or 32 bytes
//   "Incorrect block length"          chain of other than 16, 24 or 32 bytes
//   "Object not Initialized"          Encrypt/Decrypt before MakeKey
//   "Data not multiple of Block Size" data of 0 bytes or not whole blocks,
//                                     or an output of another size
// These are the only exceptions in the codebase; no correct caller sees them.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "protect/rijndael_schedule.h"

namespace vellumo::protect {

class CAES {
 public:
  // Values are those of the stored mode numbers.
  enum class Mode : int { ECB = 0, CBC = 1, CFB = 2 };

  // Automatic uses the processor's AES instructions for 16-byte blocks when
  // it has them; Portable never does (tests compare the two).
  enum class Engine { Automatic, Portable };

  explicit CAES(Engine engine = Engine::Automatic) noexcept;
  virtual ~CAES();
  CAES(const CAES&) = delete;
  CAES& operator=(const CAES&) = delete;

  // The key's size is the key length; the chain's size is the block length
  // and its bytes the initial chaining value (the IV).  On failure the object
  // keeps its previous key, if any.
  void MakeKey(std::span<const std::uint8_t> key, std::span<const std::uint8_t> chain);

  // Returns the chaining value to the one given to MakeKey.
  void ResetChain() noexcept;

  // in.size() bytes, whole blocks, into out of the same size.  in and out may
  // be the same buffer; partial overlap is not supported.
  void Encrypt(std::span<const std::uint8_t> in, std::span<std::uint8_t> out, Mode mode);
  void Decrypt(std::span<const std::uint8_t> in, std::span<std::uint8_t> out, Mode mode);

  // CBC-encrypts a into b and b back into a, roundTrips times, continuing
  // the chain: the bytes of 2 * roundTrips alternating Encrypt calls, but
  // with the chaining value kept in a register across all of them.  a and b
  // must be separate buffers of the same whole number of blocks.
  void EncryptCbcRoundTrips(std::span<std::uint8_t> a, std::span<std::uint8_t> b, int roundTrips);

  [[nodiscard]] std::size_t BlockSize() const noexcept { return blockSize_; }
  // True when the key set up last runs on the processor's AES instructions.
  [[nodiscard]] bool Accelerated() const noexcept { return accelerated_; }
  [[nodiscard]] static bool ProcessorHasAes() noexcept;

 private:
  void CheckData(std::size_t inBytes, std::size_t outBytes) const;
  void EncryptOne(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) const noexcept;
  void DecryptOne(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) const noexcept;

  Engine engine_;
  bool keyReady_ = false;
  bool accelerated_ = false;
  std::size_t keyLength_ = 0;
  std::size_t blockSize_ = 0;
  RijndaelSchedule schedule_{};
  std::array<std::uint8_t, kRijndaelMaxBlockBytes> chain0_{};
  std::array<std::uint8_t, kRijndaelMaxBlockBytes> chain_{};
};

}  // namespace vellumo::protect
