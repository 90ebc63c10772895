#include "sync/item_block.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "sync/sync_verifier.h"

namespace vellumo::sync {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Utf16(std::u16string_view s) {
  Bytes out;
  for (const char16_t c : s) {
    out.push_back(static_cast<std::uint8_t>(c));
    out.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  return out;
}

std::string Hex(std::span<const std::uint8_t> bytes) {
  static const char* digits = "0123456789abcdef";
  std::string s;
  for (const auto b : bytes) {
    s += digits[b >> 4];
    s += digits[b & 15];
  }
  return s;
}

TEST(ItemBlockTest, LayoutAndParseRoundTrip) {
  const Bytes title = Utf16(u"便利贴");
  const Bytes content = Utf16(u"<run>notepad.exe");
  const auto block = ItemBlock::Make({title, content});
  ASSERT_TRUE(block.has_value());

  Bytes expected = {6, 0, 0, 0};
  expected.insert(expected.end(), title.begin(), title.end());
  expected.insert(expected.end(), {32, 0, 0, 0});
  expected.insert(expected.end(), content.begin(), content.end());
  EXPECT_EQ(Bytes(block->bytes().begin(), block->bytes().end()), expected);
  EXPECT_TRUE(std::ranges::equal(block->title(), title));
  EXPECT_TRUE(std::ranges::equal(block->content(), content));

  ItemFields parsed;
  ASSERT_EQ(ParseItemBlock(block->bytes(), parsed), ItemBlockError::kOk);
  EXPECT_TRUE(std::ranges::equal(parsed.title, title));
  EXPECT_TRUE(std::ranges::equal(parsed.content, content));
}

TEST(ItemBlockTest, EmptyItemIsEightZeroBytes) {
  const auto block = ItemBlock::Make({});
  ASSERT_TRUE(block.has_value());
  EXPECT_EQ(Bytes(block->bytes().begin(), block->bytes().end()), Bytes(8, 0));
  ItemFields parsed;
  EXPECT_EQ(ParseItemBlock(block->bytes(), parsed), ItemBlockError::kOk);
  EXPECT_TRUE(parsed.title.empty());
  EXPECT_TRUE(parsed.content.empty());
}

TEST(ItemBlockTest, ParseRefusesMalformedBlocks) {
  struct Case {
    const char* name;
    Bytes bytes;
    ItemBlockError want;
  };
  const Case cases[] = {
      {"empty", {}, ItemBlockError::kTooShort},
      {"seven bytes", Bytes(7, 0), ItemBlockError::kTooShort},
      {"title past end", {2, 0, 0, 0, 'a', 0, 0, 0}, ItemBlockError::kTitleOverrun},
      {"title leaves no content length", {2, 0, 0, 0, 'a', 0, 0, 0, 0}, ItemBlockError::kTitleOverrun},
      {"title length near 2^32", {0xFC, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}, ItemBlockError::kTitleOverrun},
      {"content shorter than said", {0, 0, 0, 0, 4, 0, 0, 0, 'a', 0}, ItemBlockError::kLengthMismatch},
      {"trailing byte", {0, 0, 0, 0, 0, 0, 0, 0, 0}, ItemBlockError::kLengthMismatch},
      // T + C + 8 would wrap to the real size in 32 bits.
      {"content length wraps", {0, 0, 0, 0, 0xFA, 0xFF, 0xFF, 0xFF, 1, 2}, ItemBlockError::kLengthMismatch},
  };
  for (const auto& c : cases) {
    ItemFields parsed;
    parsed.title = c.bytes;  // must be reset on failure
    EXPECT_EQ(ParseItemBlock(c.bytes, parsed), c.want) << c.name;
    EXPECT_TRUE(parsed.title.empty() && parsed.content.empty()) << c.name;
  }
}

TEST(ItemHashTest, KnownAnswersAndStreamingFormAgree) {
  const Bytes title = Utf16(u"便利贴");
  const Bytes content = Utf16(u"<run>notepad.exe");
  const auto block = ItemBlock::Make({title, content});
  ASSERT_TRUE(block.has_value());
  EXPECT_EQ(Hex(ItemHash(block->bytes())), "4d6498c53a596c39101390e3ba91d0841986d40e");
  EXPECT_EQ(ItemHash(ItemFields{title, content}), ItemHash(block->bytes()));
  EXPECT_EQ(Hex(ItemHash(ItemFields{})), "05fe405753166f125559e7c9ac558654f107c7e9");
}

TEST(ItemHashTest, TitleAndContentBoundaryIsPartOfTheHash) {
  // Same concatenated text, split differently: the length fields must keep
  // the items apart.
  const Bytes ab = Utf16(u"ab"), a = Utf16(u"a"), b = Utf16(u"b");
  EXPECT_NE(ItemHash(ItemFields{ab, {}}), ItemHash(ItemFields{a, b}));
  EXPECT_NE(ItemHash(ItemFields{{}, ab}), ItemHash(ItemFields{ab, {}}));
  // Identical items hash identically, whichever buffers hold them.
  const Bytes a2 = Utf16(u"a"), b2 = Utf16(u"b");
  EXPECT_EQ(ItemHash(ItemFields{a, b}), ItemHash(ItemFields{a2, b2}));
}

TEST(NoteDigestTest, EmptyNoteIsTwentyZeroBytes) {
  EXPECT_EQ(NoteDigest({}), NoteDigestValue{});
}

TEST(NoteDigestTest, WordsAddLittleEndianModulo65536WithoutCarryBetweenWords) {
  struct Case {
    const char* name;
    std::uint8_t a0, a1, b0, b1;  // first word of two hashes
    std::uint8_t want0, want1, want2;  // first word of the sum and the next byte
  };
  const Case cases[] = {
      {"low byte carries into high byte", 0xFF, 0x00, 0x01, 0x00, 0x00, 0x01, 0x00},
      {"word wraps, no carry into next word", 0xFF, 0xFF, 0x01, 0x00, 0x00, 0x00, 0x00},
      {"plain sum", 0x34, 0x12, 0x11, 0x11, 0x45, 0x23, 0x00},
  };
  for (const auto& c : cases) {
    ItemHashValue a{}, b{};
    a[0] = c.a0, a[1] = c.a1, b[0] = c.b0, b[1] = c.b1;
    const ItemHashValue hashes[] = {a, b};
    const auto d = NoteDigest(hashes);
    EXPECT_EQ(d[0], c.want0) << c.name;
    EXPECT_EQ(d[1], c.want1) << c.name;
    EXPECT_EQ(d[2], c.want2) << c.name;
  }
  // The last word is a word too.
  ItemHashValue a{}, b{};
  a[18] = 0xFF, b[18] = 0x02;
  const ItemHashValue hashes[] = {a, b};
  EXPECT_EQ(NoteDigest(hashes)[18], 0x01);
  EXPECT_EQ(NoteDigest(hashes)[19], 0x01);
}

TEST(NoteDigestTest, OrderDoesNotMatterAndDuplicatesCountEach) {
  std::mt19937 gen(20240611);
  std::vector<ItemHashValue> hashes;
  for (int i = 0; i < 12; ++i) {
    const Bytes text = Utf16(std::u16string(static_cast<std::size_t>(i + 1), u'x'));
    hashes.push_back(ItemHash(ItemFields{text, text}));
  }
  const auto base = NoteDigest(hashes);
  for (int round = 0; round < 20; ++round) {
    std::shuffle(hashes.begin(), hashes.end(), gen);
    EXPECT_EQ(NoteDigest(hashes), base);
  }

  // Two identical items: the digest counts both, so it differs from the note
  // holding only one of them.
  const Bytes t = Utf16(u"same");
  const ItemHashValue h = ItemHash(ItemFields{t, t});
  const ItemHashValue one[] = {h};
  const ItemHashValue two[] = {h, h};
  EXPECT_NE(NoteDigest(two), NoteDigest(one));
  NoteDigestValue incremental{};
  AddToNoteDigest(incremental, h);
  AddToNoteDigest(incremental, h);
  EXPECT_EQ(incremental, NoteDigest(two));
}

TEST(SyncVerifierTest, KnownAnswers) {
  // Reference values from an independent SHA-1 over 65537 copies of
  // password || 2021 x 0xA5.
  EXPECT_EQ(kSyncVerifierFillerByte, 0xA5);
  EXPECT_EQ(Hex(SyncVerifier(Utf16(u"Passw0rd!"))), "d24d688e11a42014808b123036348b300adcc01a");
  EXPECT_EQ(Hex(SyncVerifier({})), "3bcd675aaafa6b558263b608fe885b8d17a9bebe");
}

}  // namespace
}  // namespace vellumo::sync
