#include "actions/key_tokens.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace vellumo::actions {
namespace {

TEST(ParseKeyToken, EveryRowOfTheTable) {
  struct Case {
    char16_t x, y;
    KeyTokenKind kind;
    std::uint32_t value;
  };
  const Case cases[] = {
      {u'0', u'0', KeyTokenKind::Placeholder, 0},
      {u'1', u's', KeyTokenKind::Pause, 1000},
      {u'9', u's', KeyTokenKind::Pause, 9000},
      {u'1', u'h', KeyTokenKind::Pause, 100},
      {u'5', u'h', KeyTokenKind::Pause, 500},
      {u'9', u'h', KeyTokenKind::Pause, 900},
      {u'c', u'd', KeyTokenKind::KeyDown, kVkControl},
      {u'c', u'u', KeyTokenKind::KeyUp, kVkControl},
      {u'a', u'd', KeyTokenKind::KeyDown, kVkMenu},
      {u'a', u'u', KeyTokenKind::KeyUp, kVkMenu},
      {u's', u'd', KeyTokenKind::KeyDown, kVkShift},
      {u's', u'u', KeyTokenKind::KeyUp, kVkShift},
      {u'w', u'd', KeyTokenKind::KeyDown, kVkLWin},
      {u'w', u'u', KeyTokenKind::KeyUp, kVkLWin},
      {u'f', u'1', KeyTokenKind::PressKey, kVkF1},
      {u'f', u'9', KeyTokenKind::PressKey, 0x78},  // F9
      {u'f', u'a', KeyTokenKind::PressKey, kVkF10},
      {u'f', u'f', KeyTokenKind::PressKey, 0x7E},  // F15, not hex FF
      {u'f', u'o', KeyTokenKind::PressKey, kVkF24},
      {u'0', u'D', KeyTokenKind::PressKey, 0x0D},  // Enter
      {u'2', u'5', KeyTokenKind::PressKey, 0x25},  // Left
      {u'2', u'E', KeyTokenKind::PressKey, 0x2E},  // Delete
      {u'0', u'1', KeyTokenKind::PressKey, 0x01},
      {u'C', u'D', KeyTokenKind::PressKey, 0xCD},  // upper case: hex, not Ctrl down
      {u'F', u'A', KeyTokenKind::PressKey, 0xFA},
      {u'F', u'F', KeyTokenKind::PressKey, 0xFF},
      {u'1', u'0', KeyTokenKind::PressKey, 0x10},  // digits only: hex, not a pause
  };
  for (const Case& c : cases) {
    const auto token = ParseKeyToken(c.x, c.y);
    const std::string name{static_cast<char>(c.x), static_cast<char>(c.y)};
    ASSERT_TRUE(token.has_value()) << name;
    EXPECT_EQ(*token, (KeyToken{c.kind, c.value})) << name;
  }
}

TEST(ParseKeyToken, NearMissesAreText) {
  const char16_t nearMisses[][2] = {
      {u'0', u's'}, {u'0', u'h'},  // a pause needs 1..9
      {u'5', u'S'}, {u'5', u'H'},  // pause letters are lower case
      {u'f', u'0'}, {u'f', u'p'}, {u'f', u'z'},  // past the function keys
      {u'2', u'e'}, {u'e', u'2'}, {u'F', u'a'},  // hex is upper case only
      {u'c', u'D'}, {u'C', u'd'}, {u'c', u'x'}, {u'g', u'd'}, {u's', u'1'},
      {u' ', u'0'}, {u'0', u' '}, {u'<', u'>'}, {u'G', u'0'},
      {u'\u4E2D', u'd'}, {u'c', u'\u4E2D'}, {0xFF10, 0xFF10},  // full-width digits are no hex
  };
  for (const auto& m : nearMisses) {
    EXPECT_FALSE(ParseKeyToken(m[0], m[1]).has_value())
        << static_cast<int>(m[0]) << "," << static_cast<int>(m[1]);
  }
}

// Over all printable pairs, exactly the table's rows are tokens: any row
// that accepts more (lower-case hex, "<0s>", "<f0>") shows up in the counts.
TEST(ParseKeyToken, AcceptsExactlyTheTableOverAllPrintablePairs) {
  std::map<KeyTokenKind, int> counts;
  for (char16_t x = 0x20; x < 0x7F; ++x) {
    for (char16_t y = 0x20; y < 0x7F; ++y) {
      const auto token = ParseKeyToken(x, y);
      if (!token) continue;
      ++counts[token->kind];
      if (token->kind == KeyTokenKind::Pause) {
        EXPECT_GE(token->value, 100u);
        EXPECT_LE(token->value, 9000u);
      } else {
        EXPECT_LE(token->value, 0xFFu);
      }
    }
  }
  EXPECT_EQ(counts[KeyTokenKind::Placeholder], 1);
  EXPECT_EQ(counts[KeyTokenKind::Pause], 18);
  EXPECT_EQ(counts[KeyTokenKind::KeyDown], 4);
  EXPECT_EQ(counts[KeyTokenKind::KeyUp], 4);
  EXPECT_EQ(counts[KeyTokenKind::PressKey], 24 + 255);  // F1..F24 and hex 01..FF
}

}  // namespace
}  // namespace vellumo::actions
