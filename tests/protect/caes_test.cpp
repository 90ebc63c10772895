#include "protect/caes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace vellumo::protect {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Mode = CAES::Mode;
using Engine = CAES::Engine;

Bytes Hex(const std::string& hex) {
  Bytes out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  }
  return out;
}

Bytes Encrypted(CAES& aes, const Bytes& in, Mode mode) {
  Bytes out(in.size());
  aes.Encrypt(in, out, mode);
  return out;
}

Bytes Decrypted(CAES& aes, const Bytes& in, Mode mode) {
  Bytes out(in.size());
  aes.Decrypt(in, out, mode);
  return out;
}

// Every behaviour runs on both engines.  "Accelerated" is the automatic
// choice, which must really pick the AES instructions when the processor has
// them, or this suite would compare the portable engine with itself.
class CaesEngines : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override {
    if (GetParam() == Engine::Automatic && !CAES::ProcessorHasAes()) {
      GTEST_SKIP() << "processor without AES instructions";
    }
  }
  // CAES is neither copyable nor movable.
  std::unique_ptr<CAES> Keyed(const Bytes& key, const Bytes& iv) const {
    auto aes = std::make_unique<CAES>(GetParam());
    aes->MakeKey(key, iv);
    return aes;
  }
};

struct BlockVector {
  const char* source;
  const char* key;
  const char* plain;
  const char* cipher;
};

// FIPS-197 Appendix B and C.1-C.3; the rest are the Rijndael table vectors
// for wider blocks (plaintext the digits of pi, key those of e), which only
// the portable engine handles.
const BlockVector kBlockVectors[] = {
    {"FIPS-197 B", "2b7e151628aed2a6abf7158809cf4f3c", "3243f6a8885a308d313198a2e0370734",
     "3925841d02dc09fbdc118597196a0b32"},
    {"FIPS-197 C.1", "000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff",
     "69c4e0d86a7b0430d8cdb78070b4c55a"},
    {"FIPS-197 C.2", "000102030405060708090a0b0c0d0e0f1011121314151617",
     "00112233445566778899aabbccddeeff", "dda97ca4864cdfe06eaf70a0ec0d7191"},
    {"FIPS-197 C.3", "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
     "00112233445566778899aabbccddeeff", "8ea2b7ca516745bfeafc49904b496089"},
    {"block 24 key 16", "2b7e151628aed2a6abf7158809cf4f3c",
     "3243f6a8885a308d313198a2e03707344a4093822299f31d",
     "b24d275489e82bb8f7375e0d5fcdb1f481757c538b65148a"},
    {"block 24 key 24", "2b7e151628aed2a6abf7158809cf4f3c762e7160f38b4da5",
     "3243f6a8885a308d313198a2e03707344a4093822299f31d",
     "725ae43b5f3161de806a7c93e0bca93c967ec1ae1b71e1cf"},
    {"block 24 key 32", "2b7e151628aed2a6abf7158809cf4f3c762e7160f38b4da56a784d9045190cfe",
     "3243f6a8885a308d313198a2e03707344a4093822299f31d",
     "0ebacf199e3315c2e34b24fcc7c46ef4388aa475d66c194c"},
    {"block 32 key 16", "2b7e151628aed2a6abf7158809cf4f3c",
     "3243f6a8885a308d313198a2e03707344a4093822299f31d0082efa98ec4e6c8",
     "7d15479076b69a46ffb3b3beae97ad8313f622f67fedb487de9f06b9ed9c8f19"},
    {"block 32 key 24", "2b7e151628aed2a6abf7158809cf4f3c762e7160f38b4da5",
     "3243f6a8885a308d313198a2e03707344a4093822299f31d0082efa98ec4e6c8",
     "5d7101727bb25781bf6715b0e6955282b9610e23a43c2eb062699f0ebf5887b2"},
    {"block 32 key 32", "2b7e151628aed2a6abf7158809cf4f3c762e7160f38b4da56a784d9045190cfe",
     "3243f6a8885a308d313198a2e03707344a4093822299f31d0082efa98ec4e6c8",
     "a49406115dfb30a40418aafa4869b7c6a886ff31602a7dd19c889dc64f7e4e7a"},
};

TEST_P(CaesEngines, KnownAnswerBlocksEncryptAndDecryptBack) {
  for (const auto& v : kBlockVectors) {
    SCOPED_TRACE(v.source);
    const Bytes plain = Hex(v.plain);
    auto aes = Keyed(Hex(v.key), Bytes(plain.size()));
    EXPECT_EQ(aes->Accelerated(), GetParam() == Engine::Automatic && plain.size() == 16);
    EXPECT_EQ(Encrypted(*aes, plain, Mode::ECB), Hex(v.cipher));
    EXPECT_EQ(Decrypted(*aes, Hex(v.cipher), Mode::ECB), plain);
  }
}

// NIST SP 800-38A F.1.1, F.2.1 and F.3.13: four blocks under AES-128, which
// pin down how each mode feeds the chaining value forward.
TEST_P(CaesEngines, ModesMatchKnownAnswersAcrossFourBlocks) {
  const Bytes key = Hex("2b7e151628aed2a6abf7158809cf4f3c");
  const Bytes iv = Hex("000102030405060708090a0b0c0d0e0f");
  const Bytes plain = Hex(
      "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
      "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710");
  const struct {
    Mode mode;
    const char* cipher;
  } cases[] = {
      {Mode::ECB,
       "3ad77bb40d7a3660a89ecaf32466ef97f5d3d58503b9699de785895a96fdbaaf"
       "43b1cd7f598ece23881b00e3ed0306887b0c785e27e8ad3f8223207104725dd4"},
      {Mode::CBC,
       "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2"
       "73bed6b8e3c1743b7116e69e222295163ff1caa1681fac09120eca307586e1a7"},
      {Mode::CFB,
       "3b3fd92eb72dad20333449f8e83cfb4ac8a64537a0b3a93fcde3cdad9f1ce58b"
       "26751f67a3cbb140b1808cf187a4f4dfc04b05357c5d1c0eeac4c66f9ff7f2e6"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.mode));
    auto enc = Keyed(key, iv);
    EXPECT_EQ(Encrypted(*enc, plain, c.mode), Hex(c.cipher));
    auto dec = Keyed(key, iv);
    EXPECT_EQ(Decrypted(*dec, Hex(c.cipher), c.mode), plain);

    // In place gives the same bytes as separate buffers.
    auto inPlace = Keyed(key, iv);
    Bytes buffer = plain;
    inPlace->Encrypt(buffer, buffer, c.mode);
    EXPECT_EQ(buffer, Hex(c.cipher));
    inPlace->ResetChain();
    inPlace->Decrypt(buffer, buffer, c.mode);
    EXPECT_EQ(buffer, plain);
  }
}

// The chaining value lives in the object: a message fed in pieces on one
// object equals the message fed at once, for every way of cutting it, and
// ResetChain starts over from the IV.
TEST_P(CaesEngines, ChainingCarriesAcrossCalls) {
  const Bytes key = Hex("000102030405060708090a0b0c0d0e0f");
  const Bytes iv = Hex("f0e1d2c3b4a5968778695a4b3c2d1e0f");
  Bytes plain(96);
  for (std::size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<std::uint8_t>(i * 7 + 1);
  const std::vector<std::vector<std::size_t>> cuts = {{16, 80}, {48, 48}, {16, 16, 16, 16, 32},
                                                      {80, 16}};
  for (Mode mode : {Mode::CBC, Mode::CFB}) {
    auto whole = Keyed(key, iv);
    const Bytes expected = Encrypted(*whole, plain, mode);
    for (const auto& cut : cuts) {
      SCOPED_TRACE(testing::Message() << "mode " << static_cast<int>(mode) << " first piece "
                                      << cut.front());
      auto enc = Keyed(key, iv);
      auto dec = Keyed(key, iv);
      Bytes cipher(plain.size());
      Bytes back(plain.size());
      std::size_t off = 0;
      for (std::size_t piece : cut) {
        enc->Encrypt(std::span(plain).subspan(off, piece), std::span(cipher).subspan(off, piece),
                    mode);
        dec->Decrypt(std::span(expected).subspan(off, piece), std::span(back).subspan(off, piece),
                    mode);
        off += piece;
      }
      EXPECT_EQ(cipher, expected);
      EXPECT_EQ(back, plain);

      // A second message on the same object continues the chain ...
      EXPECT_NE(Encrypted(*enc, plain, mode), expected);
      // ... until the chain is reset to the IV.
      enc->ResetChain();
      EXPECT_EQ(Encrypted(*enc, plain, mode), expected);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, CaesEngines,
                         ::testing::Values(Engine::Portable, Engine::Automatic),
                         [](const ::testing::TestParamInfo<Engine>& engine) {
                           return engine.param == Engine::Portable ? "Portable" : "Accelerated";
                         });

// The two engines must be interchangeable on any key, IV, mode and length:
// random cases from a fixed seed, each compared byte for byte and decrypted
// back by the other engine.
TEST(CaesEngineAgreement, PortableAndAcceleratedGiveIdenticalBytes) {
  if (!CAES::ProcessorHasAes()) GTEST_SKIP() << "processor without AES instructions";
  std::mt19937 rng(20240611u);
  auto randomBytes = [&rng](std::size_t n) {
    Bytes b(n);
    for (auto& x : b) x = static_cast<std::uint8_t>(rng());
    return b;
  };
  const std::size_t keyLengths[] = {16, 24, 32};
  const Mode modes[] = {Mode::ECB, Mode::CBC, Mode::CFB};
  for (int round = 0; round < 300; ++round) {
    const Bytes key = randomBytes(keyLengths[rng() % 3]);
    const Bytes iv = randomBytes(16);
    const Mode mode = modes[rng() % 3];
    const Bytes plain = randomBytes(16 * (1 + rng() % 40));
    SCOPED_TRACE(testing::Message() << "round " << round);

    CAES portable(Engine::Portable);
    CAES accelerated(Engine::Automatic);
    portable.MakeKey(key, iv);
    accelerated.MakeKey(key, iv);
    ASSERT_FALSE(portable.Accelerated());
    ASSERT_TRUE(accelerated.Accelerated());
    const Bytes cipher = Encrypted(portable, plain, mode);
    ASSERT_EQ(Encrypted(accelerated, plain, mode), cipher);

    portable.ResetChain();
    accelerated.ResetChain();
    ASSERT_EQ(Decrypted(accelerated, cipher, mode), plain);
    ASSERT_EQ(Decrypted(portable, cipher, mode), plain);
  }
}

// Misuse raises std::logic_error with one fixed text each.
TEST(CaesMisuse, ThrowsWithExactTexts) {
  const Bytes key16(16, 1);
  const Bytes iv16(16, 2);
  const struct {
    const char* what;
    std::function<void(CAES&)> misuse;
    const char* text;
  } cases[] = {
      {"no key", [&](CAES& a) { a.MakeKey({}, iv16); }, "Empty key"},
      {"no key and no chain", [&](CAES& a) { a.MakeKey({}, {}); }, "Empty key"},
      {"15-byte key", [&](CAES& a) { a.MakeKey(Bytes(15), iv16); }, "Incorrect key length"},
      {"20-byte key", [&](CAES& a) { a.MakeKey(Bytes(20), iv16); }, "Incorrect key length"},
      {"33-byte key", [&](CAES& a) { a.MakeKey(Bytes(33), iv16); }, "Incorrect key length"},
      {"no chain", [&](CAES& a) { a.MakeKey(key16, {}); }, "Incorrect block length"},
      {"8-byte chain", [&](CAES& a) { a.MakeKey(key16, Bytes(8)); }, "Incorrect block length"},
      {"17-byte chain", [&](CAES& a) { a.MakeKey(key16, Bytes(17)); }, "Incorrect block length"},
      {"encrypt unkeyed",
       [](CAES& a) {
         Bytes b(16);
         a.Encrypt(b, b, Mode::CBC);
       },
       "Object not Initialized"},
      {"decrypt unkeyed",
       [](CAES& a) {
         Bytes b(16);
         a.Decrypt(b, b, Mode::ECB);
       },
       "Object not Initialized"},
      {"unkeyed after a rejected key",
       [&](CAES& a) {
         EXPECT_THROW(a.MakeKey(Bytes(15), iv16), std::logic_error);
         Bytes b(16);
         a.Encrypt(b, b, Mode::ECB);
       },
       "Object not Initialized"},
      {"encrypt nothing",
       [&](CAES& a) {
         a.MakeKey(key16, iv16);
         Bytes b;
         a.Encrypt(b, b, Mode::CBC);
       },
       "Data not multiple of Block Size"},
      {"decrypt 17 bytes",
       [&](CAES& a) {
         a.MakeKey(key16, iv16);
         Bytes b(17);
         a.Decrypt(b, b, Mode::CBC);
       },
       "Data not multiple of Block Size"},
      {"16 bytes with a 32-byte block",
       [&](CAES& a) {
         a.MakeKey(key16, Bytes(32));
         Bytes b(16);
         a.Encrypt(b, b, Mode::ECB);
       },
       "Data not multiple of Block Size"},
      {"output shorter than input",
       [&](CAES& a) {
         a.MakeKey(key16, iv16);
         Bytes in(32);
         Bytes out(16);
         a.Encrypt(in, out, Mode::CFB);
       },
       "Data not multiple of Block Size"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (Engine engine : {Engine::Portable, Engine::Automatic}) {
      CAES aes(engine);
      try {
        c.misuse(aes);
        ADD_FAILURE() << "no exception";
      } catch (const std::logic_error& e) {
        EXPECT_STREQ(e.what(), c.text);
      }
    }
  }
}

// A rejected MakeKey keeps the key and chain that were there.
TEST(CaesMisuse, RejectedKeyLeavesObjectKeyed) {
  const Bytes key = Hex("000102030405060708090a0b0c0d0e0f");
  const Bytes plain = Hex("00112233445566778899aabbccddeeff");
  CAES aes;
  aes.MakeKey(key, Bytes(16));
  EXPECT_THROW(aes.MakeKey(Bytes(16), Bytes(20)), std::logic_error);
  EXPECT_EQ(Encrypted(aes, plain, Mode::CBC), Hex("69c4e0d86a7b0430d8cdb78070b4c55a"));
}

}  // namespace
}  // namespace vellumo::protect
