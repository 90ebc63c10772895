#include "protect/rijndael_vperm.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>
#include <vector>

#include "protect/rijndael_portable.h"
#include "protect/rijndael_schedule.h"

namespace vellumo::protect {
namespace {

using Bytes = std::vector<std::uint8_t>;
using vperm::Form;

// Both forms of the vector-permute engine against the table code, which the
// FIPS-197 known answers of caes_test pin down on processors without SSSE3.
class VpermForms : public ::testing::TestWithParam<Form> {
 protected:
  void SetUp() override {
    if (!vperm::FormAvailable(GetParam())) GTEST_SKIP() << "processor without this form";
  }
};

Bytes RandomBytes(std::mt19937& rng, std::size_t n) {
  Bytes b(n);
  for (auto& x : b) x = static_cast<std::uint8_t>(rng());
  return b;
}

// Random keys of all three sizes and random blocks push every byte value
// through every S-box row many times, in both directions.
TEST_P(VpermForms, BlocksMatchTheTableEngine) {
  std::mt19937 rng(7u);
  for (std::size_t keyBytes : {16u, 24u, 32u}) {
    for (int k = 0; k < 20; ++k) {
      RijndaelSchedule s;
      ExpandRijndaelKey(RandomBytes(rng, keyBytes), 16, s);
      for (int b = 0; b < 50; ++b) {
        const Bytes plain = RandomBytes(rng, 16);
        Bytes expected(16), actual(16), back(16);
        portable::EncryptBlockWithTables(s, plain, expected);
        vperm::EncryptBlock(s, plain.data(), actual.data(), GetParam());
        ASSERT_EQ(actual, expected) << "key " << keyBytes << " bytes";
        portable::DecryptBlockWithTables(s, expected, back);
        ASSERT_EQ(back, plain);
        vperm::DecryptBlock(s, expected.data(), back.data(), GetParam());
        ASSERT_EQ(back, plain) << "key " << keyBytes << " bytes";
      }
    }
  }
}

// The chained form continues one CBC stream across buffers and calls, and
// hands back the chaining value it ended on.
TEST_P(VpermForms, CbcRoundTripsMatchBlockByBlockChaining) {
  std::mt19937 rng(11u);
  RijndaelSchedule s;
  ExpandRijndaelKey(RandomBytes(rng, 16), 16, s);
  for (std::size_t blocks : {1u, 3u, 32u}) {
    const Bytes start = RandomBytes(rng, 16 * blocks);
    const Bytes iv = RandomBytes(rng, 16);

    Bytes a = start, b(start.size());
    std::array<std::uint8_t, 16> chain{};
    std::copy(iv.begin(), iv.end(), chain.begin());
    vperm::CbcRoundTrips(s, chain.data(), a.data(), b.data(), a.size(), 2, GetParam());
    vperm::CbcRoundTrips(s, chain.data(), a.data(), b.data(), a.size(), 1, GetParam());

    Bytes ea = start, eb(start.size());
    Bytes c = iv;
    for (int pass = 0; pass < 6; ++pass) {
      Bytes& from = pass % 2 == 0 ? ea : eb;
      Bytes& to = pass % 2 == 0 ? eb : ea;
      for (std::size_t off = 0; off < from.size(); off += 16) {
        Bytes x(16);
        for (int i = 0; i < 16; ++i) x[i] = static_cast<std::uint8_t>(from[off + i] ^ c[i]);
        portable::EncryptBlockWithTables(s, x, c);
        std::copy(c.begin(), c.end(), to.begin() + static_cast<std::ptrdiff_t>(off));
      }
    }
    EXPECT_EQ(a, ea) << blocks << " blocks";
    EXPECT_EQ(b, eb) << blocks << " blocks";
    EXPECT_EQ(Bytes(chain.begin(), chain.end()), c) << blocks << " blocks";
  }
}

INSTANTIATE_TEST_SUITE_P(Forms, VpermForms, ::testing::Values(Form::k128, Form::k256),
                         [](const ::testing::TestParamInfo<Form>& form) {
                           return form.param == Form::k128 ? "Narrow" : "Wide";
                         });

}  // namespace
}  // namespace vellumo::protect
