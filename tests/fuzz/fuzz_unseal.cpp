// fuzz-sources: src/sync/sealing.cpp src/sync/item_block.cpp src/sync/compress.cpp src/sync/sha1.cpp
// fuzz-sources: src/protect/caes.cpp src/protect/rijndael_aesni.cpp src/protect/rijndael_portable.cpp
// fuzz-sources: src/protect/rijndael_schedule.cpp src/protect/rijndael_vperm.cpp src/protect/engine_choice.cpp
// fuzz-sources: src/platform/secure_random_posix.cpp
//
// Arbitrary blobs through unsealing.  Random ciphertext almost never passes
// the check value, so the first input byte picks how the rest is used:
//   0  the rest is the blob as received
//   1  the rest is a plaintext body (after check and random word); it is
//      given a correct check value and encrypted, so the marker search, the
//      decoder and the block parser see fuzzer-chosen bytes
// Whatever unsealing accepts must be a well-formed block that seals and
// unseals back to itself.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/bytes.h"
#include "protect/caes.h"
#include "sync/item_block.h"
#include "sync/sealing.h"

using namespace vellumo::sync;

namespace {

const SyncKey& Key() {
  static const SyncKey key = [] {
    const std::uint8_t password[] = {'f', 0, 'u', 0, 'z', 0, 'z', 0, '!', 0, '1', 0, '2', 0, '3', 0};
    return DeriveSyncKey(password);
  }();
  return key;
}

std::vector<std::uint8_t> EncryptBody(const std::uint8_t* body, std::size_t size) {
  std::vector<std::uint8_t> plain = {0, 0, 0x12, 0x34};
  plain.insert(plain.end(), body, body + size);
  while (plain.size() % kSealBlockBytes != 0) plain.push_back(0x01);
  std::uint32_t h = 0;
  for (std::size_t i = 4; i < plain.size(); ++i) h = h * 33u + plain[i];
  vellumo::StoreU16LE(plain.data(), static_cast<std::uint16_t>(h));
  vellumo::protect::CAES aes;
  aes.MakeKey(Key().key, Key().iv);
  std::vector<std::uint8_t> sealed(plain.size());
  aes.Encrypt(plain, sealed, vellumo::protect::CAES::Mode::CBC);
  return sealed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1 || size > kMaxSealedBytes + 1) return 0;
  std::vector<std::uint8_t> sealed;
  if (data[0] % 2 == 0) {
    sealed.assign(data + 1, data + size);  // exact size for ASan
  } else {
    sealed = EncryptBody(data + 1, size - 1);
    if (sealed.size() > kMaxSealedBytes) return 0;
  }

  std::vector<std::uint8_t> block;
  if (UnsealItemBlock(Key(), sealed, block) != UnsealError::kOk) {
    if (!block.empty()) __builtin_trap();
    return 0;
  }
  ItemFields fields;
  if (ParseItemBlock(block, fields) != ItemBlockError::kOk) __builtin_trap();
  if (block.size() > kMaxItemBlockBytes) __builtin_trap();

  std::vector<std::uint8_t> again, back;
  const SealError e = SealItemBlock(Key(), block, again);
  if (e == SealError::kDoesNotFit) return 0;  // a hand-made stream may pack tighter than ours
  if (e != SealError::kOk) __builtin_trap();
  if (UnsealItemBlock(Key(), again, back) != UnsealError::kOk || back != block) __builtin_trap();
  return 0;
}
