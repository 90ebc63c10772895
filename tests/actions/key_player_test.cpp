#include "actions/key_player.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "actions/key_tokens.h"

namespace vellumo::actions {
namespace {

// Writes what a tick does as short words: "c:a" character event, "k:a" key
// press for a character, "p:0D" press, "d:11" down, "u:11" up, "z:500"
// pause.  Units outside printable ASCII are written U+XXXX.
struct Recorder : KeySink {
  std::string log;

  static std::string Unit(char16_t u) {
    if (u > 0x20 && u < 0x7F) return std::string(1, static_cast<char>(u));
    char buf[8];
    std::snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(u));
    return buf;
  }
  static std::string Vk(std::uint8_t vk) {
    char buf[4];
    std::snprintf(buf, sizeof buf, "%02X", static_cast<unsigned>(vk));
    return buf;
  }
  void Add(const std::string& event) {
    if (!log.empty() && log.back() != '|') log += ' ';
    log += event;
  }
  void EndTick() { log += '|'; }

  void SendUnicodeChar(char16_t unit) override { Add("c:" + Unit(unit)); }
  void TypeKeyForChar(char16_t unit) override { Add("k:" + Unit(unit)); }
  void PressKey(std::uint8_t vk) override { Add("p:" + Vk(vk)); }
  void KeyDown(std::uint8_t vk) override { Add("d:" + Vk(vk)); }
  void KeyUp(std::uint8_t vk) override { Add("u:" + Vk(vk)); }
  void Pause(std::uint32_t pauseMs) override { Add("z:" + std::to_string(pauseMs)); }
};

// Steps a player to its end, one tick at a time; ticks are separated by
// "|" (a tick that does nothing shows as an empty field).
std::string Play(TypingMode mode, std::u16string_view sequence) {
  KeySequencePlayer player(mode, sequence);
  Recorder recorder;
  std::size_t ticks = 0;
  while (player.Remaining() > 0) {
    const std::size_t before = player.Remaining();
    const std::size_t after = player.Step(recorder);
    EXPECT_LT(after, before);  // every tick makes progress
    recorder.EndTick();
    if (++ticks > sequence.size()) break;
  }
  if (!recorder.log.empty()) recorder.log.pop_back();
  return recorder.log;
}

constexpr auto kChars = TypingMode::Chars;
constexpr auto kKeys = TypingMode::Keys;

TEST(KeySequencePlayer, TypesOneUnitOrTokenPerTick) {
  struct Case {
    TypingMode mode;
    std::u16string_view sequence;
    const char* ticks;
  };
  const Case cases[] = {
      // Plain text and the two modes.
      {kChars, u"ab<5h>c", "c:a|c:b|z:500|c:c"},
      {kKeys, u"ab<5h>c", "k:a|k:b|z:500|k:c"},
      {kKeys, u"<cd>c<cu>", "d:11|k:c|u:11"},
      {kKeys, u"\u00E9", "k:U+00E9"},  // up to U+00FF keys mode presses keys
      {kChars, u"\u4E2D\u6587", "c:U+4E2D|c:U+6587"},
      {kKeys, u"\u4E2D\u6587", "c:U+4E2D|c:U+6587"},  // above U+00FF: always characters
      {kKeys, u"\u0100", "c:U+0100"},

      // Every kind of token inside a sequence.
      {kChars, u"<00>", ""},
      {kChars, u"a<00>b", "c:a||c:b"},
      {kChars, u"<1h><9h><1s><9s>", "z:100|z:900|z:1000|z:9000"},
      {kChars, u"<cd><cu><ad><au><sd><su><wd><wu>", "d:11|u:11|d:12|u:12|d:10|u:10|d:5B|u:5B"},
      {kChars, u"<f1><f9><fa><fo>", "p:70|p:78|p:79|p:87"},
      {kChars, u"<0D><25><2E><FF>", "p:0D|p:25|p:2E|p:FF"},
      {kChars, u"<CD>", "p:CD"},

      // Texts that look like tokens are typed unit by unit, "<" first.
      {kChars, u"<f0>", "c:<|c:f|c:0|c:>"},
      {kChars, u"<2e>", "c:<|c:2|c:e|c:>"},
      {kChars, u"<0s>", "c:<|c:0|c:s|c:>"},
      {kChars, u"<10s>", "c:<|c:1|c:0|c:s|c:>"},
      {kKeys, u"<f0>", "k:<|k:f|k:0|k:>"},
      {kChars, u"<\u4E2Dd>", "c:<|c:U+4E2D|c:d|c:>"},
      {kChars, u"<<5h>>", "c:<|z:500|c:>"},
      {kChars, u"<<>>", "c:<|c:<|c:>|c:>"},
      {kChars, u"<", "c:<"},
      {kChars, u"<>", "c:<|c:>"},

      // A token cut off at the end is text: the lookahead stops at the end.
      {kChars, u"<cd", "c:<|c:c|c:d"},
      {kChars, u"x<5h", "c:x|c:<|c:5|c:h"},
      {kChars, u"<5", "c:<|c:5"},

      // Line ends, Tab.
      {kChars, u"a\r\nb", "c:a|p:0D|c:b"},
      {kKeys, u"a\r\nb", "k:a|p:0D|k:b"},
      {kChars, u"\r", "p:0D"},
      {kChars, u"\n", "c:U+000A"},  // a lone LF is a character in character mode
      {kKeys, u"\n", "k:U+000A"},
      {kChars, u"\r\r\n", "p:0D|p:0D"},
      {kChars, u"\n\r", "c:U+000A|p:0D"},
      {kChars, u"\r\n\r\n", "p:0D|p:0D"},
      {kChars, u"\t", "p:09"},
      {kKeys, u"\t", "p:09"},
      {kChars, u"<\r\n>", "c:<|p:0D|c:>"},

      // Surrogate pairs go in one tick; lone halves are sent as they are.
      {kChars, u"a\U0001F600b", "c:a|c:U+D83D c:U+DE00|c:b"},
      {kKeys, u"\U0001F600", "c:U+D83D c:U+DE00"},
      {kChars, u"a\xD83D", "c:a|c:U+D83D"},
      {kChars, u"\xDE00\xD83D", "c:U+DE00|c:U+D83D"},
      {kChars, u"\xD83D" u"a", "c:U+D83D|c:a"},

      {kChars, u"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Play(c.mode, c.sequence), c.ticks)
        << "case " << (&c - cases) << (c.mode == kChars ? " (chars)" : " (keys)");
  }
}

TEST(KeySequencePlayer, ModifiersLeftDownAreReleasedAtTheEnd) {
  struct Case {
    std::u16string_view sequence;
    const char* ticks;
  };
  const Case cases[] = {
      {u"<cd>a", "d:11|c:a u:11"},
      {u"<cd><sd>x<su>", "d:11|d:10|c:x|u:10 u:11"},
      {u"<cd><cd>", "d:11|d:11 u:11"},  // one up puts a key up however often it went down
      {u"<cu>", "u:11"},                 // nothing held: no extra release
      {u"<ad><wd><sd><cd>", "d:12|d:5B|d:10|d:11 u:5B u:10 u:12 u:11"},
      {u"<cd><11>", "d:11|p:11 u:11"},  // a hex press does not count as put up
      {u"<cd><cu><cd><cu>", "d:11|u:11|d:11|u:11"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Play(kChars, c.sequence), c.ticks) << "case " << (&c - cases);
  }
}

TEST(KeySequencePlayer, StopDropsTheRestAndReleasesHeldModifiers) {
  KeySequencePlayer player(kKeys, u"<ad><wd>abc<wu><au>");
  Recorder recorder;
  EXPECT_EQ(player.Step(recorder), 15u);
  EXPECT_EQ(player.Step(recorder), 11u);
  EXPECT_EQ(player.Step(recorder), 10u);
  player.Stop(recorder);
  EXPECT_EQ(recorder.log, "d:12 d:5B k:a u:5B u:12");
  EXPECT_EQ(player.Remaining(), 0u);
  EXPECT_EQ(player.Step(recorder), 0u);
  player.Stop(recorder);  // a second Escape does nothing more
  EXPECT_EQ(recorder.log, "d:12 d:5B k:a u:5B u:12");
}

// The stored form must not hold the text, in typing order or byte-reversed,
// so a decrypted "<k>" sequence never lies in memory as it was typed.
TEST(KeySequencePlayer, KeepsTheSequenceMasked) {
  const std::u16string secret = u"hunter2<0D>";
  KeySequencePlayer player(kChars, secret);
  const auto stored = player.StoredBytes();
  ASSERT_EQ(stored.size(), secret.size() * 2);

  std::vector<std::uint8_t> plain;
  for (char16_t u : secret) {
    plain.push_back(static_cast<std::uint8_t>(u));
    plain.push_back(static_cast<std::uint8_t>(u >> 8));
  }
  std::vector<std::uint8_t> reversed(plain.rbegin(), plain.rend());
  const std::vector<std::uint8_t> kept(stored.begin(), stored.end());
  EXPECT_NE(kept, plain);
  EXPECT_NE(kept, reversed);
  for (std::size_t i = 0; i + 1 < kept.size(); i += 2) {
    EXPECT_FALSE(kept[i] == reversed[i] && kept[i + 1] == reversed[i + 1]) << "unit " << i / 2 << " kept plain";
  }

  Recorder recorder;
  player.Stop(recorder);
  EXPECT_TRUE(player.StoredBytes().empty());
}

// The masked player must type exactly what stepping the plain text does,
// for long sequences that mix tokens, line ends, surrogates and near-misses
// (catches off-by-one reads of the lookahead and unmasking faults; under
// ASan also any read past the stored bytes).
TEST(KeySequencePlayer, MaskedPlayMatchesPlainStepping) {
  const char16_t alphabet[] = {u'a', u'<', u'<', u'>', u'>', u'c', u'd', u'u', u'5', u'h', u'0', u'E',
                               u'f', u'\r', u'\n', u'\t', 0x4E2D, 0xD83D, 0xDE00, 0x00FF, 0x0100, 0x0000};
  std::mt19937 rng(20261210);
  for (int round = 0; round < 200; ++round) {
    const std::size_t length = round < 199 ? rng() % 64 : 30752;  // the last: a full content buffer
    std::u16string sequence;
    for (std::size_t i = 0; i < length; ++i) sequence += alphabet[rng() % std::size(alphabet)];
    const TypingMode mode = round % 2 ? kKeys : kChars;

    Recorder expected;
    HeldKeys held;
    std::span<const char16_t> rest(sequence);
    std::size_t ticks = 0;
    while (!rest.empty()) {
      const std::size_t taken = PlayKeyStep(mode, rest.first(std::min(rest.size(), kKeyStepWindow)), held, expected);
      ASSERT_GE(taken, 1u);
      ASSERT_LE(taken, rest.size());
      rest = rest.subspan(taken);
      if (rest.empty()) ReleaseHeldKeys(held, expected);
      expected.EndTick();
      ++ticks;
    }
    if (!expected.log.empty()) expected.log.pop_back();

    ASSERT_EQ(Play(mode, sequence), expected.log) << "round " << round;
    EXPECT_LE(ticks, sequence.size());
  }
}

TEST(KeySequencePlayer, MovedFromPlayerIsFinished) {
  KeySequencePlayer first(kChars, u"ab");
  Recorder recorder;
  EXPECT_EQ(first.Step(recorder), 1u);
  KeySequencePlayer second(std::move(first));
  EXPECT_EQ(first.Remaining(), 0u);
  EXPECT_EQ(first.Step(recorder), 0u);
  EXPECT_EQ(second.Step(recorder), 0u);

  KeySequencePlayer third(kKeys, u"xyz");
  third = KeySequencePlayer(kChars, u"q");
  EXPECT_EQ(third.Step(recorder), 0u);
  EXPECT_EQ(recorder.log, "c:a c:b c:q");
}

TEST(PlayKeyStep, LooksOnlyAtTheWindowItIsGiven) {
  Recorder recorder;
  HeldKeys held;
  EXPECT_EQ(PlayKeyStep(kChars, {}, held, recorder), 0u);
  EXPECT_EQ(recorder.log, "");

  // "<cd>" cut to three units is text even though a ">" follows in memory.
  const std::u16string buffer = u"<cd>";
  EXPECT_EQ(PlayKeyStep(kChars, std::span<const char16_t>(buffer).first(3), held, recorder), 1u);
  EXPECT_EQ(PlayKeyStep(kChars, std::span<const char16_t>(buffer).first(1), held, recorder), 1u);
  EXPECT_EQ(recorder.log, "c:< c:<");
  EXPECT_EQ(held.mask, 0);
}

}  // namespace
}  // namespace vellumo::actions
