// What the recovery box's text asks for, and the digits' round trip.
#include <gtest/gtest.h>

#include <string>

#include "protect/recovery_string.h"

namespace vellumo::protect {
namespace {

const std::string kDigits = "00112233445566778899aabbccddeeff0123456789abcdef0f1e2d3c4b5a6978";

TEST(RecoveryString, TheTextDecidesTheRequest) {
  struct Case {
    std::string text;
    RecoveryRequest request;
    std::string digits;
  };
  const Case cases[] = {
      {"clear", RecoveryRequest::kClear, ""},
      {"clea", RecoveryRequest::kWrongLength, ""},
      {"clear!", RecoveryRequest::kWrongLength, ""},
      {"CLEAR", RecoveryRequest::kWrongLength, ""},
      {"", RecoveryRequest::kWrongLength, ""},
      {"new", RecoveryRequest::kNewRandom, ""},
      {"new" + kDigits, RecoveryRequest::kNewGiven, kDigits},
      {"new" + kDigits.substr(1), RecoveryRequest::kNewWrongLength, ""},
      {"new" + kDigits + "0", RecoveryRequest::kNewWrongLength, ""},
      {"newer", RecoveryRequest::kNewWrongLength, ""},
      {"ne", RecoveryRequest::kWrongLength, ""},
      {kDigits, RecoveryRequest::kGiven, kDigits},
      {kDigits.substr(1), RecoveryRequest::kWrongLength, ""},
      // 64 bytes beginning "new" are "new" with 61 digits, not a string.
      {"new" + kDigits.substr(3), RecoveryRequest::kNewWrongLength, ""},
      // 64 bytes of "clea" and more are a recovery string like any other.
      {"clea" + kDigits.substr(4), RecoveryRequest::kGiven, "clea" + kDigits.substr(4)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ClassifyRecoveryText(c.text), c.request) << c.text;
    EXPECT_EQ(RecoveryDigitsOf(c.text), c.digits) << c.text;
  }
}

TEST(RecoveryString, FormatAndDecodeRoundTrip) {
  ContentKey key{};
  for (std::size_t i = 0; i < key.size(); ++i) key[i] = static_cast<std::uint8_t>(i * 37 + 5);
  const std::string text = FormatRecoveryString(key);
  ASSERT_EQ(text.size(), kRecoveryDigits);
  EXPECT_EQ(text.substr(0, 6), "052a4f");  // byte 0 first, high nibble first, lowercase
  EXPECT_TRUE(AreRecoveryDigits(text));
  ContentKey back{};
  DecodeRecoveryDigits(text, back);
  EXPECT_EQ(back, key);

  DecodeRecoveryDigits(kDigits, back);
  EXPECT_EQ(back[0], 0x00);
  EXPECT_EQ(back[5], 0x55);
  EXPECT_EQ(back[15], 0xff);
  EXPECT_EQ(back[31], 0x78);
}

TEST(RecoveryString, DecodingRefusesNoCharacter) {
  // Upper-case letters are no digits: 'A' (65) is above '9' and counts as
  // 65 - 87 = -22, so "AA" is (-22 << 4 | -22) & 0xFF = 0xEA, not 0xAA;
  // ' ' (32) is below it and counts as 32 - 48 = -16, and so does the lead
  // byte 0xB1 of a Chinese character: -79 - 48 = -127.
  struct Case {
    std::string pair;
    std::uint8_t byte;
  };
  const Case cases[] = {{"AA", 0xEA}, {"0A", 0xEA}, {"a ", 0xF0}, {"g0", 0x00}, {"zz", 0x33},
                        {"\xB1" "0", 0x10}};
  for (const Case& c : cases) {
    std::string digits = c.pair + kDigits.substr(2);
    EXPECT_FALSE(AreRecoveryDigits(digits)) << c.pair;
    ContentKey key{};
    DecodeRecoveryDigits(digits, key);
    EXPECT_EQ(key[0], c.byte) << c.pair;
    EXPECT_EQ(key[1], 0x11) << c.pair;
  }
  EXPECT_FALSE(AreRecoveryDigits(kDigits.substr(1)));
}

}  // namespace
}  // namespace vellumo::protect
