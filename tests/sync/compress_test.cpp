#include "sync/compress.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace vellumo::sync {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes FromString(std::string_view s) { return Bytes(s.begin(), s.end()); }

Bytes Random(std::size_t size, std::uint32_t seed) {
  std::mt19937 gen(seed);
  Bytes out(size);
  for (auto& b : out) b = static_cast<std::uint8_t>(gen());
  return out;
}

// Appends fields nibble by nibble, low bits first, as the decoder reads them.
// Used to hand-build streams whose expected output is stated independently.
class StreamBuilder {
 public:
  explicit StreamBuilder(std::uint8_t first) : bytes_{first}, nibbles_(2) {}
  StreamBuilder& Field(std::uint32_t value, unsigned nibbleCount) {
    for (unsigned i = 0; i < nibbleCount; ++i, ++nibbles_) {
      const auto nib = static_cast<std::uint8_t>((value >> (4 * i)) & 0x0F);
      if ((nibbles_ & 1) == 0) {
        bytes_.push_back(nib);
      } else {
        bytes_.back() = static_cast<std::uint8_t>(bytes_.back() | (nib << 4));
      }
    }
    return *this;
  }
  StreamBuilder& Control(std::uint8_t flags) { return Field(flags, 2); }
  StreamBuilder& Literal(std::uint8_t b) { return Field(b, 2); }
  StreamBuilder& AlignAndRaw(const Bytes& raw) {
    if ((nibbles_ & 1) != 0) ++nibbles_;
    bytes_.insert(bytes_.end(), raw.begin(), raw.end());
    nibbles_ += 2 * raw.size();
    return *this;
  }
  // Marker of a raw block of `units` eight-byte units, control byte included.
  StreamBuilder& RawHeader(std::uint32_t units) {
    const std::uint32_t v = units - 4;
    return Control(static_cast<std::uint8_t>(0x80 | (v & 0x7F)))
        .Field((v >> 7) << 2, 2)
        .Field(15, 1)
        .Field(255, 2)
        .Field(0xFFFF, 4);
  }
  const Bytes& bytes() const { return bytes_; }

 private:
  Bytes bytes_;
  std::size_t nibbles_;
};

class Recorder : public PayloadItemObserver {
 public:
  void OnItem(const PayloadItem& item) noexcept override { items.push_back(item); }
  std::vector<PayloadItem> items;
};

struct Decoded {
  int code = -1;
  Bytes output;
};

Decoded Decode(const Bytes& stream, std::size_t capacity, PayloadItemObserver* observer = nullptr) {
  // Exactly `capacity` bytes, so that ASan sees any write past the end.
  Decoded d;
  d.output.resize(capacity);
  std::size_t size = 0;
  d.code = DecompressPayload(stream, d.output, size, observer);
  EXPECT_LE(size, capacity);
  d.output.resize(size);
  return d;
}

Bytes Compress(const Bytes& input) {
  Bytes out(CompressBound(input.size()));
  std::size_t size = 0;
  const int code = CompressPayload(input, out, size);
  EXPECT_EQ(code, kPayloadOk) << "input of " << input.size() << " bytes";
  out.resize(size);
  return out;
}

// ---------------------------------------------------------------------------
// Decoder: hand-built streams against their expected output.

TEST(DecompressPayload, HandBuiltStreams) {
  struct Case {
    const char* name;
    Bytes stream;
    std::string expected;
  };
  const Case cases[] = {
      // 'a', control 0011 1111, 'b', 'c', distance 3 (8-bit 0x04), length 6 (nibble 3).
      {"literals then overlapping match", {0x61, 0x3F, 0x62, 0x63, 0x04, 0x03}, "abcabcabc"},
      // Distance 1 length 3 leaves phase 1; the literal 'X' (0x58) then
      // straddles two bytes; the half-used last byte ends the stream.
      {"literal at phase 1", {0x61, 0xBF, 0x00, 0x80, 0x05}, "aaaaX"},
      // Only the first byte and a control byte with no items.
      {"one byte", {0x7A, 0xFF}, "z"},
      {"first byte alone", {0x7A}, "z"},
      {"empty", {}, ""},
  };
  for (const Case& c : cases) {
    const Decoded d = Decode(c.stream, 64);
    EXPECT_EQ(d.code, kPayloadOk) << c.name;
    EXPECT_EQ(std::string(d.output.begin(), d.output.end()), c.expected) << c.name;
  }
}

TEST(DecompressPayload, LengthCodesAndTheirExtensions) {
  // Each length decoded as a distance-1 run after 'q'.
  struct Case {
    std::uint32_t length;
    std::vector<std::pair<std::uint32_t, unsigned>> lengthFields;
  };
  const Case cases[] = {
      {3, {{0, 1}}},
      {17, {{14, 1}}},
      {18, {{15, 1}, {0, 2}}},
      {272, {{15, 1}, {254, 2}}},
      {273, {{15, 1}, {255, 2}, {0, 4}}},
      {65807, {{15, 1}, {255, 2}, {0xFFFE, 4}}},
  };
  for (const Case& c : cases) {
    StreamBuilder b('q');
    b.Control(0xFF).Field(0x00, 2);  // match, distance 1
    for (auto [value, nibbles] : c.lengthFields) b.Field(value, nibbles);
    const Decoded d = Decode(b.bytes(), 70000);
    ASSERT_EQ(d.code, kPayloadOk) << c.length;
    EXPECT_EQ(d.output, Bytes(c.length + 1, 'q')) << c.length;
  }
}

// The same distance code means different distances on either side of output
// position 2177, and the 16- and 20-bit forms exist only past it.
TEST(DecompressPayload, DistanceTableFollowsOutputPosition) {
  struct Case {
    std::size_t historyBytes;  // output bytes before the match
    std::uint32_t field;
    unsigned nibbles;          // 5 for the 20-bit form: field, then farNibble
    std::uint32_t farNibble;
    std::uint32_t distance;
  };
  const Case cases[] = {
      {2176, 0x04, 2, 0, 3},                 // near table: (4 >> 1) + 1
      {2177, 0x04, 2, 0, 2},                 // far table:  (4 >> 2) + 1
      {2176, 0xFFF, 3, 0, 2176},             // near table, largest 12-bit
      {2177, 0xFFD, 3, 0, 1088},             // far table, form 01, largest
      {2177, 0x0002, 4, 0, 1089},            // form 10, smallest
      {20000, 0xFFFE, 4, 0, 17472},          // form 10, largest
      {20000, 0x0003, 5, 0, 17473},          // form 11, smallest
      {40000, 0x0007, 5, 1, 1 + 16384 + 17473},
  };
  const Bytes history = Random(40000, 11);
  for (const Case& c : cases) {
    // Whole groups of literals, then a last group of the remaining literals
    // with the match as its next item.
    StreamBuilder b(history[0]);
    std::size_t written = 1;
    for (; written + 8 <= c.historyBytes; written += 8) {
      b.Control(0x00);
      for (std::size_t i = 0; i < 8; ++i) b.Literal(history[written + i]);
    }
    const std::size_t rest = c.historyBytes - written;
    b.Control(static_cast<std::uint8_t>(0xFF >> rest));
    for (std::size_t i = 0; i < rest; ++i) b.Literal(history[written + i]);
    b.Field(c.field, std::min(c.nibbles, 4u));
    if (c.nibbles == 5) b.Field(c.farNibble, 1);
    b.Field(2, 1);  // length 5

    Recorder rec;
    const Decoded d = Decode(b.bytes(), c.historyBytes + 5, &rec);
    ASSERT_EQ(d.code, kPayloadOk) << c.historyBytes << " " << c.field;
    ASSERT_FALSE(rec.items.empty());
    EXPECT_EQ(rec.items.back().distance, c.distance) << c.historyBytes << " " << c.field;
    EXPECT_EQ(rec.items.back().distanceBits, 4 * c.nibbles);
    Bytes expected(history.begin(), history.begin() + static_cast<std::ptrdiff_t>(c.historyBytes));
    for (int i = 0; i < 5; ++i) expected.push_back(expected[expected.size() - c.distance]);
    EXPECT_EQ(d.output, expected) << c.historyBytes << " " << c.field;
  }
}

TEST(DecompressPayload, RawBlocksAreByteAlignedAtEitherPhase) {
  const Bytes raw32 = Random(32, 1);
  const Bytes raw1080 = Random(1080, 2);  // N = 135: H = 1, L = 3

  // Phase 0: the header ends mid-byte and the rest of that byte (here 0x5_)
  // is skipped.  Afterwards a new group starts with a literal.
  Bytes phase0 = {'Z', 0x80, 0x00, 0xFF, 0xFF, 0xFF, 0x5F};
  phase0.insert(phase0.end(), raw32.begin(), raw32.end());
  phase0.push_back(0x7F);
  phase0.push_back('q');
  {
    Recorder rec;
    const Decoded d = Decode(phase0, 100, &rec);
    ASSERT_EQ(d.code, kPayloadOk);
    Bytes expected = {'Z'};
    expected.insert(expected.end(), raw32.begin(), raw32.end());
    expected.push_back('q');
    EXPECT_EQ(d.output, expected);
    ASSERT_EQ(rec.items.size(), 2u);
    EXPECT_EQ(rec.items[0].rawOffset, 7u);
    EXPECT_FALSE(rec.items[0].headerAtPhase1);
  }

  // Phase 1: a 12-bit item (distance 1, length 3) and seven literals leave
  // the next control byte mid-byte; its header then ends on a byte boundary.
  StreamBuilder b('Z');
  b.Control(0x80).Field(0x00, 2).Field(0, 1);
  for (char ch : std::string("1234567")) b.Literal(static_cast<std::uint8_t>(ch));
  const std::size_t controlByte = b.bytes().size() - 1;
  b.RawHeader(135).AlignAndRaw(raw1080).Control(0x7F).Literal('q');
  Recorder rec;
  const Decoded d = Decode(b.bytes(), 2000, &rec);
  ASSERT_EQ(d.code, kPayloadOk);
  Bytes expected = FromString("ZZZZ1234567");
  expected.insert(expected.end(), raw1080.begin(), raw1080.end());
  expected.push_back('q');
  EXPECT_EQ(d.output, expected);
  ASSERT_EQ(rec.items.size(), 10u);
  EXPECT_TRUE(rec.items[8].headerAtPhase1);
  EXPECT_EQ(rec.items[8].rawOffset, controlByte + 6);
}

// Every failure site, with the smallest stream that reaches it.
TEST(DecompressPayload, DamagedStreamsReportTheirFault) {
  // 2180 bytes of history from two runs, so the far table applies; the
  // second run brings the next item back to phase 0, where a cut field can
  // end on a byte boundary.
  auto farHistory = [] {
    StreamBuilder b('h');
    b.Control(0xFF).Field(0x00, 2).Field(15, 1).Field(255, 2).Field(2176 - 273, 4);
    b.Field(0x00, 2).Field(0, 1);
    return b;
  };
  struct Case {
    const char* name;
    Bytes stream;
    std::size_t capacity;
    int code;
  };
  const Case cases[] = {
      {"20-bit distance cut inside its 16 bits",
       farHistory().Field(0x03, 2).bytes(), 5000, kDecompressTruncatedFarDistance},
      {"20-bit distance cut before its nibble",
       farHistory().Field(0x0003, 4).bytes(), 5000, kDecompressTruncatedFarDistance},
      {"length byte missing", StreamBuilder('a').Control(0xFF).Field(0, 2).Field(15, 1).bytes(), 100,
       kDecompressTruncatedLengthByte},
      {"length word cut", StreamBuilder('a').Control(0xFF).Field(0, 2).Field(15, 1).Field(255, 2).Field(0, 2).bytes(),
       100, kDecompressTruncatedLengthWord},
      {"distance before output start", {'a', 0xFF, 0x02, 0x00}, 100, kDecompressDistanceBeforeStart},
      {"distance far before output start", farHistory().Field(0xFFFE, 4).Field(0, 1).bytes(),
       30000, kDecompressDistanceBeforeStart},
      {"12-bit distance cut", {'a', 0xFF, 0x01}, 100, kDecompressTruncatedDistance},
      {"16-bit distance cut", farHistory().Field(0x02, 2).bytes(), 5000,
       kDecompressTruncatedDistance},
      {"length nibble missing", {'a', 0xFF, 0x00}, 100, kDecompressTruncatedLengthNibble},
      {"raw bytes cut", StreamBuilder('a').RawHeader(4).AlignAndRaw(Bytes(31, 0)).bytes(), 100,
       kDecompressTruncatedRaw},
      {"raw marker as second item",
       StreamBuilder('a').Control(0x7F).Literal('b').Field(0, 2).Field(15, 1).Field(255, 2).Field(0xFFFF, 4)
           .AlignAndRaw(Bytes(32, 0)).bytes(),
       100, kDecompressBadRawHeader},
      {"raw marker with a 12-bit distance field",
       StreamBuilder('a').Control(0x80).Field(0x005, 3).Field(15, 1).Field(255, 2).Field(0xFFFF, 4)
           .AlignAndRaw(Bytes(32, 0)).bytes(),
       100, kDecompressBadRawHeader},
      {"raw block over capacity", StreamBuilder('a').RawHeader(4).AlignAndRaw(Bytes(32, 0)).bytes(), 32,
       kDecompressRawTooLarge},
      {"match over capacity", {'a', 0xFF, 0x00, 0x00}, 3, kDecompressMatchTooLong},
      {"literal with no room", {'a', 0x3F, 'b', 'c'}, 2, kDecompressLiteralNoRoom},
      {"first byte with no room", {'a'}, 0, kDecompressLiteralNoRoom},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Decode(c.stream, c.capacity).code, c.code) << c.name;
  }
}

// ---------------------------------------------------------------------------
// Encoder: exact streams where the strategy fixes them.

TEST(CompressPayload, ExactStreamsForSmallInputs) {
  struct Case {
    Bytes input;
    Bytes stream;
  };
  const Case cases[] = {
      {{}, {}},
      {{0x42}, {0x42, 0xFF}},                                        // unused flags are 1
      {FromString("abc"), {0x61, 0x3F, 0x62, 0x63}},                 // two literals
      {FromString("aaaaaa"), {0x61, 0xFF, 0x00, 0x02}},              // run shortcut, length 5
      {FromString("abcabcabc"), {0x61, 0x3F, 0x62, 0x63, 0x04, 0x03}},
  };
  for (const Case& c : cases) EXPECT_EQ(Compress(c.input), c.stream);
}

// A run longer than one match: distance-1 matches of at most 65807 bytes,
// the second and third past position 2177 in the far table.
TEST(CompressPayload, LongRunSplitsIntoMaximalDistanceOneMatches) {
  const Bytes input(1 + 65807 + 65807 + 10, 'x');
  const Bytes expected = {0x78, 0xFF, 0x00, 0xFF, 0xEF, 0xFF, 0x0F,
                          0xF0, 0xFF, 0xFE, 0xFF, 0x00, 0x07};
  const Bytes stream = Compress(input);
  EXPECT_EQ(stream, expected);
  const Decoded d = Decode(stream, input.size());
  EXPECT_EQ(d.code, kPayloadOk);
  EXPECT_EQ(d.output, input);
}

// A copy of distance 100 starting at input position 2176 is coded in the near
// table (8 bits), one starting at 2177 in the far table (12 bits).
TEST(CompressPayload, DistanceTableSwitchesAfterPosition2176) {
  for (std::size_t start : {std::size_t{2176}, std::size_t{2177}}) {
    Bytes input = Random(start, 5);
    for (int i = 0; i < 20; ++i) input.push_back(input[input.size() - 100]);
    Recorder rec;
    const Decoded d = Decode(Compress(input), input.size(), &rec);
    ASSERT_EQ(d.code, kPayloadOk);
    EXPECT_EQ(d.output, input);
    const auto it = std::find_if(rec.items.begin(), rec.items.end(),
                                 [&](const PayloadItem& item) { return item.outputPos == start; });
    ASSERT_NE(it, rec.items.end());
    EXPECT_EQ(it->kind, PayloadItem::Kind::kMatch);
    EXPECT_EQ(it->distance, 100u);
    EXPECT_EQ(it->length, 20u);
    EXPECT_EQ(it->distanceBits, start == 2176 ? 8u : 12u);
  }
}

// Incompressible input becomes raw blocks whose bytes sit verbatim and
// byte-aligned in the stream, whatever phase the coding was at.
TEST(CompressPayload, IncompressibleInputUsesRawBlocks) {
  bool sawPhase0 = false;
  bool sawPhase1 = false;
  // Prefixes of different nibble parity put the checkpoint at either phase.
  const Bytes prefixes[] = {{}, FromString("aaaaaaaaaaaaaaaaaaaa"), FromString("abcabcabcabcabXabcab")};
  for (const Bytes& prefix : prefixes) {
    Bytes input = prefix;
    const Bytes noise = Random(100000, 9);
    input.insert(input.end(), noise.begin(), noise.end());
    const Bytes stream = Compress(input);
    EXPECT_LT(stream.size(), input.size() + input.size() / 16) << "raw blocks must undercut literals";
    Recorder rec;
    const Decoded d = Decode(stream, input.size(), &rec);
    ASSERT_EQ(d.code, kPayloadOk);
    ASSERT_EQ(d.output, input);
    int raws = 0;
    for (const PayloadItem& item : rec.items) {
      if (item.kind != PayloadItem::Kind::kRawBlock) continue;
      ++raws;
      (item.headerAtPhase1 ? sawPhase1 : sawPhase0) = true;
      EXPECT_EQ(item.length % 8, 0u);
      EXPECT_TRUE(std::equal(input.begin() + static_cast<std::ptrdiff_t>(item.outputPos),
                             input.begin() + static_cast<std::ptrdiff_t>(item.outputPos + item.length),
                             stream.begin() + static_cast<std::ptrdiff_t>(item.rawOffset)));
    }
    EXPECT_GT(raws, 0);
  }
  EXPECT_TRUE(sawPhase0);
  EXPECT_TRUE(sawPhase1);
}

// The capacity contract: fail with 256 once the stream comes within 33
// bytes of the capacity, and never write outside the buffer.
TEST(CompressPayload, FailsRatherThanOverrunningTheOutput) {
  const Bytes input = FromString(
      "The quick brown fox jumps over the lazy dog; the lazy dog sleeps on while "
      "the quick brown fox jumps again.");
  const std::size_t size = Compress(input).size();
  for (std::size_t capacity = 0; capacity <= size + kCompressSlackBytes + 1; ++capacity) {
    Bytes out(capacity);  // exact size: ASan catches any overrun
    std::size_t got = 99;
    const int code = CompressPayload(input, out, got);
    if (capacity > size + kCompressSlackBytes) {
      EXPECT_EQ(code, kPayloadOk) << capacity;
      EXPECT_EQ(got, size);
    } else {
      EXPECT_EQ(code, kCompressOutputFull) << capacity;
      EXPECT_EQ(got, 0u);
    }
  }
  const Bytes noise = Random(3000, 4);
  for (std::size_t capacity = 0; capacity < 3000; capacity += 7) {
    Bytes out(capacity);
    std::size_t got = 0;
    EXPECT_EQ(CompressPayload(noise, out, got), kCompressOutputFull);
  }
}

// ---------------------------------------------------------------------------
// Round trips and damage over a varied corpus.

std::vector<std::pair<std::string, Bytes>> Corpus() {
  std::vector<std::pair<std::string, Bytes>> corpus;
  corpus.emplace_back("empty", Bytes{});
  corpus.emplace_back("one byte", Bytes{0x00});
  corpus.emplace_back("two bytes", FromString("ab"));
  {
    // UTF-16LE of Chinese note text, repeated with variations.
    const std::u16string text =
        u"便利贴：打开记事本<run>C:\\Windows\\notepad.exe<>每天早上运行；"
        u"便利贴：打开计算器<run>C:\\Windows\\calc.exe<>每天下午运行；";
    Bytes b;
    for (int rep = 0; rep < 40; ++rep) {
      for (char16_t ch : text) {
        const auto unit = static_cast<std::uint16_t>(ch + (rep % 3 == 0 ? 0 : rep % 5));
        b.push_back(static_cast<std::uint8_t>(unit));
        b.push_back(static_cast<std::uint8_t>(unit >> 8));
      }
    }
    corpus.emplace_back("CJK UTF-16LE", b);
  }
  for (std::size_t size : {3u, 33u, 257u, 4096u, 102400u}) {
    corpus.emplace_back("random " + std::to_string(size), Random(size, static_cast<std::uint32_t>(size)));
  }
  {
    const std::string line = "<a>user@example.com{TAB}password{ENTER}<> login line\r\n";
    std::string text;
    while (text.size() < 102400) text += line;
    text.resize(102400);
    corpus.emplace_back("100 KB repeated text", FromString(text));
  }
  {
    // Runs, text and noise interleaved, crossing the 2177 and 17473 limits.
    Bytes b;
    std::mt19937 gen(3);
    while (b.size() < 90000) {
      const Bytes chunk = Random(gen() % 3000, static_cast<std::uint32_t>(gen()));
      b.insert(b.end(), chunk.begin(), chunk.end());
      b.insert(b.end(), gen() % 300, static_cast<std::uint8_t>(gen()));
      if (b.size() > 20000) {
        const std::size_t from = gen() % (b.size() - 19000);
        const Bytes copy(b.begin() + static_cast<std::ptrdiff_t>(from),
                         b.begin() + static_cast<std::ptrdiff_t>(from + gen() % 600));
        b.insert(b.end(), copy.begin(), copy.end());
      }
    }
    corpus.emplace_back("mixed", b);
  }
  corpus.emplace_back("run of 65808", Bytes(65808, 0xEE));
  return corpus;
}

TEST(PayloadRoundTrip, CorpusDecodesToItsInput) {
  for (const auto& [name, input] : Corpus()) {
    const Bytes stream = Compress(input);
    Recorder rec;
    const Decoded d = Decode(stream, input.size(), &rec);
    EXPECT_EQ(d.code, kPayloadOk) << name;
    EXPECT_EQ(d.output, input) << name;
    for (const PayloadItem& item : rec.items) {
      // A far length-3 copy is never worth its code.
      if (item.kind == PayloadItem::Kind::kMatch && item.length == 3) {
        EXPECT_LE(item.distance, 17472u) << name;
      }
    }
  }
}

// The encoder looks ahead of the position it codes to reject candidates
// cheaply; in the last bytes of an input that look must not leave it (ASan:
// each input is its own exactly sized allocation).
TEST(PayloadRoundTrip, EveryShortLengthOfRepetitiveInput) {
  const std::string ascii = "abcabcabcdabcabcabcdxyzxyzxyzabcabc";
  Bytes utf16;
  for (char ch : ascii) {
    utf16.push_back(static_cast<std::uint8_t>(ch));
    utf16.push_back(0);
  }
  for (const Bytes& source : {FromString(ascii), utf16}) {
    for (std::size_t size = 1; size <= source.size(); ++size) {
      const Bytes input(source.begin(), source.begin() + static_cast<std::ptrdiff_t>(size));
      const Decoded d = Decode(Compress(input), input.size());
      EXPECT_EQ(d.code, kPayloadOk) << size;
      EXPECT_EQ(d.output, input) << size;
    }
  }
}

// Every prefix of a stream and every short capacity: the decoder stays in its
// buffers (ASan), and whatever it produced is a prefix of the true output.
TEST(PayloadRoundTrip, TruncatedStreamsAndShortOutputsFailCleanly) {
  Bytes input = FromString("header: ");
  const Bytes noise = Random(700, 8);
  input.insert(input.end(), noise.begin(), noise.end());
  for (int i = 0; i < 3000; ++i) input.push_back(static_cast<std::uint8_t>('a' + i % 8 + i / 500));
  input.insert(input.end(), 400, 'z');
  input.insert(input.end(), noise.begin(), noise.begin() + 200);
  const Bytes stream = Compress(input);

  auto isPrefix = [&](const Bytes& out) {
    return out.size() <= input.size() && std::equal(out.begin(), out.end(), input.begin());
  };
  for (std::size_t cut = 0; cut < stream.size(); ++cut) {
    const Bytes part(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(cut));
    const Decoded d = Decode(part, input.size());
    ASSERT_TRUE(isPrefix(d.output)) << "cut " << cut;
  }
  for (std::size_t capacity = 0; capacity < input.size(); ++capacity) {
    const Decoded d = Decode(stream, capacity);
    ASSERT_TRUE(d.code == kDecompressLiteralNoRoom || d.code == kDecompressMatchTooLong ||
                d.code == kDecompressRawTooLarge)
        << "capacity " << capacity << " code " << d.code;
    ASSERT_TRUE(isPrefix(d.output));
  }
}

}  // namespace
}  // namespace vellumo::sync
