// One file for both builds: natively it checks the generated code page 936
// table, under Wine the real WideCharToMultiByte/MultiByteToWideChar with the
// zh_CN locale.  Identical expectations in both prove the two agree.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/codepage.h"
#include "platform/cp936.h"

namespace vellumo::platform {
namespace {

std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (!out.empty()) out.push_back(' ');
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 15]);
  }
  return out;
}

std::string Hex(std::u16string_view units) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (const char16_t u : units) {
    if (!out.empty()) out.push_back(' ');
    for (int shift = 12; shift >= 0; shift -= 4) out.push_back(kDigits[(u >> shift) & 15]);
  }
  return out;
}

TEST(CodePage, IsChinese) { EXPECT_EQ(AnsiCodePage(), 936u); }

struct EncodeCase {
  const char* what;
  std::u16string_view text;
  std::string_view bytes;
};

TEST(CodePage, EncodesLikeWin32) {
  using namespace std::string_view_literals;
  const EncodeCase cases[] = {
      {"empty", u"", ""},
      {"ASCII letter", u"A", "A"},
      {"ASCII ends and NUL", u"\u0000\u007F !~"sv, "\x00\x7F !~"sv},
      {"GB2312 hanzi", u"\u4FBF\u4E2D", "\xB1\xE3\xD6\xD0"},
      {"GBK extension hanzi", u"\u4E02", "\x81\x40"},
      {"ideographic space", u"\u3000", "\xA1\xA1"},
      {"fullwidth forms", u"\uFF21\uFF01\uFF5E", "\xA3\xC1\xA3\xA1\xA1\xAB"},
      {"euro sign at 0x80", u"\u20AC", "\x80"},
      {"private use at 0xFF", u"\uF8F5", "\xFF"},
      {"user-defined area", u"\uE000", "\xAA\xA1"},
      {"Latin with a mapping", u"\u00E0", "\xA8\xA4"},
      {"best fit to ASCII", u"\u00B2\u00AA", "2a"},
      {"best fit to double byte", u"\u00A5", "\xA3\xA4"},
      {"no mapping: C1 control", u"\u0080", "?"},
      {"no mapping: no-break space", u"\u00A0", "?"},
      {"no mapping: katakana middle dot", u"\u30FB", "?"},
      {"no mapping: CJK extension A", u"\u3400\u4DB5", "??"},
      {"no mapping: noncharacter", u"\uFFFF", "?"},
      {"surrogate pair, CJK extension B", u"\U00020000", "??"},
      {"surrogate pair, emoji", u"\U0001F600", "??"},
      {"unpaired high surrogate", u"\xD800" "A", "?A"},
      {"unpaired low surrogate", u"A\xDC00", "A?"},
      {"mixed", u"\u4FBF" "A\u20AC\u00A0", "\xB1\xE3" "A\x80?"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Hex(WideToAnsi(c.text)), Hex(c.bytes)) << c.what;
  }
}

struct DecodeCase {
  const char* what;
  std::string_view bytes;
  std::u16string_view text;
};

TEST(CodePage, DecodesLikeWin32IncludingBrokenInput) {
  using namespace std::string_view_literals;
  const DecodeCase cases[] = {
      {"empty", "", u""},
      {"ASCII with NUL", "A\x00z"sv, u"A\u0000z"sv},
      {"GB2312 hanzi", "\xB1\xE3", u"\u4FBF"},
      {"GBK extension hanzi", "\x81\x40", u"\u4E02"},
      {"euro sign", "\x80", u"\u20AC"},
      {"0xFF alone", "\xFF", u"\uF8F5"},
      {"user-defined area", "\xAA\xA1\xFE\xFE", u"\uE000\uE4C5"},
      {"truncated lead byte", "\xB1", u"?"},
      {"lead byte after a character", "\xB1\xE3\xB1", u"\u4FBF?"},
      {"lead byte before NUL keeps the NUL", "\xB1\x00\xB1\xE3"sv, u"?\u0000\u4FBF"sv},
      {"trail below range is swallowed", "\x81\x30" "A", u"?A"},
      {"trail 0x7F is swallowed", "\x81\x7F" "A", u"?A"},
      {"trail 0xFF is swallowed", "\x81\xFF" "A", u"?A"},
      {"0x80 does not lead", "\x80\xB1\xE3", u"\u20AC\u4FBF"},
      {"0xFF does not lead", "\xFF" "A", u"\uF8F5" "A"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Hex(AnsiToWide(c.bytes)), Hex(c.text)) << c.what;
  }
}

// Every double-byte code with a character encodes back to itself.
TEST(CodePage, DoubleByteCodesRoundTrip) {
  int characters = 0;
  for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
    for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
      const std::string code{static_cast<char>(lead), static_cast<char>(trail)};
      const std::u16string text = AnsiToWide(code);
      ASSERT_EQ(text.size(), 1u) << Hex(code);
      if (text[0] == u'?') continue;
      ++characters;
      ASSERT_EQ(Hex(WideToAnsi(text)), Hex(code));
    }
  }
  EXPECT_GT(characters, 21000);
}

// FNV-1a over every conversion the code page can make: each code unit alone,
// and each byte pair followed by 'A' (which shows whether the pair was taken
// as one code).  The constants came from Wine; the native table must match.
TEST(CodePage, WholeCodePageFingerprint) {
  std::uint64_t hash = 14695981039346656037u;
  const auto mix = [&hash](std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
      hash ^= (value >> (8 * i)) & 0xFF;
      hash *= 1099511628211u;
    }
  };
  for (std::uint32_t unit = 0; unit < 0x10000; ++unit) {
    const std::u16string text(1, static_cast<char16_t>(unit));
    const std::string bytes = WideToAnsi(text);
    mix(static_cast<std::uint32_t>(bytes.size()));
    for (const char c : bytes) mix(static_cast<unsigned char>(c));
  }
  const std::uint64_t encodeHash = hash;
  for (unsigned lead = 0x80; lead <= 0xFF; ++lead) {
    for (unsigned trail = 0; trail <= 0xFF; ++trail) {
      const std::string bytes{static_cast<char>(lead), static_cast<char>(trail), 'A'};
      const std::u16string text = AnsiToWide(bytes);
      mix(static_cast<std::uint32_t>(text.size()));
      for (const char16_t u : text) mix(u);
    }
  }
  EXPECT_EQ(encodeHash, 5951794854046127108u);
  EXPECT_EQ(hash, 4298605912739448900u);
}

#ifdef _WIN32
// Direct comparison where the real API is at hand, naming the first code that
// differs (the fingerprint only says that one does).
TEST(CodePage, PortableTableEqualsWin32) {
  for (std::uint32_t unit = 0; unit < 0x10000; ++unit) {
    const std::u16string text(1, static_cast<char16_t>(unit));
    ASSERT_EQ(Hex(Cp936FromWide(text)), Hex(WideToAnsi(text))) << "U+" << Hex(text);
  }
  for (unsigned lead = 0x80; lead <= 0xFF; ++lead) {
    for (unsigned trail = 0; trail <= 0xFF; ++trail) {
      for (const std::string& bytes : {std::string{static_cast<char>(lead), static_cast<char>(trail)},
                                      std::string{static_cast<char>(lead), static_cast<char>(trail), 'A'}}) {
        ASSERT_EQ(Hex(Cp936ToWide(bytes)), Hex(AnsiToWide(bytes))) << Hex(bytes);
      }
    }
  }
}
#endif

}  // namespace
}  // namespace vellumo::platform
