#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>

#include "store/trie_format.h"
#include "store_test_util.h"

namespace vellumo {
namespace {

using namespace testing;
using namespace ku_error;
using trie::NodeRef;

// Reads the trie's raw shape so that tests can state the exact nodes.
struct Shape {
  Ku& ku;
  NodeRef RootSlot(std::uint8_t b) { return RefAt(trie::kRootUnit * 8 + 8 + 7 * b); }
  NodeRef RefAt(std::uint64_t position) {
    std::uint8_t raw[7];
    EXPECT_EQ(ku.KuView()->Read(position, raw, 7), 0);
    return trie::LoadNodeRef(raw);
  }
  Bytes Node(NodeRef r) {
    Bytes b(trie::NodeSize(r.kind));
    EXPECT_EQ(ku.KuView()->Read(r.address * 8, b.data(), b.size()), 0);
    return b;
  }
  std::string PathBytes(NodeRef r) {
    Bytes n = Node(r);
    return std::string(n.begin() + 8, n.begin() + 8 + trie::PathLength(r.kind));
  }
  NodeRef PathChild(NodeRef r) { return trie::LoadNodeRef(&Node(r)[8 + trie::PathLength(r.kind)]); }
  std::string ListKeys(NodeRef r) {
    Bytes n = Node(r);
    std::string keys;
    for (int j = 0; j < r.kind; ++j) keys.push_back(static_cast<char>(n[8 + 8 * j]));
    return keys;
  }
  NodeRef ListChild(NodeRef r, int j) { return trie::LoadNodeRef(&Node(r)[8 + 8 * j + 1]); }
  std::uint16_t ValueLength(NodeRef r) { return LoadU16LE(Node(r).data()); }
};

TEST(KuOperations, NewDatabaseHeaderAndFirstBlock) {
  TestDb db;
  std::uint8_t header[32];
  ASSERT_EQ(db.ku.KuView()->Read(0, header, 32), 0);
  EXPECT_EQ(std::memcmp(header, "TLBX", 4), 0);
  EXPECT_EQ(header[8], 3);
  EXPECT_EQ(header[9], 65);
  EXPECT_EQ(header[10], 6);
  EXPECT_EQ(header[11], 8);
  EXPECT_EQ(trie::LoadUnitAddr(header + 12), 229u);
  EXPECT_EQ(db.ku.KuFileSize(), 2u * 1024 * 1024);
  EXPECT_EQ(db.ku.FreeSpace().FileSize(), 0u) << "the .hs file stays empty until a release";

  ASSERT_EQ(db.Put("k", "1234567"), 0);
  Shape s{db.ku};
  NodeRef leaf = s.RootSlot('k');
  EXPECT_EQ(leaf.kind, 0);
  EXPECT_EQ(leaf.address, 229u) << "the first block goes to unit 229";
  Bytes vh = s.Node(leaf);
  EXPECT_EQ(LoadU16LE(vh.data()), 7);
  EXPECT_EQ(trie::LoadUnitAddr(vh.data() + 2), 230u) << "a 7-byte value takes its own block";

  ASSERT_EQ(db.Put("j", "123456"), 0);
  Bytes inlineVh = s.Node(s.RootSlot('j'));
  EXPECT_EQ(LoadU16LE(inlineVh.data()), 6);
  EXPECT_EQ(std::memcmp(inlineVh.data() + 2, "123456", 6), 0) << "6 bytes are stored inline";
}

TEST(KuOperations, NodeShapesFollowInsertions) {
  TestDb db;
  Shape s{db.ku};
  ASSERT_EQ(db.Put("abcdef", "1"), 0);
  NodeRef a = s.RootSlot('a');
  ASSERT_TRUE(trie::IsPathKind(a.kind));
  EXPECT_EQ(s.PathBytes(a), "bcdef");
  const NodeRef oldLeaf = s.PathChild(a);
  EXPECT_EQ(oldLeaf.kind, 0);

  ASSERT_EQ(db.Put("abcxyz", "2"), 0);
  a = s.RootSlot('a');
  EXPECT_EQ(s.PathBytes(a), "bc");
  NodeRef list = s.PathChild(a);
  ASSERT_EQ(list.kind, 2);
  EXPECT_EQ(s.ListKeys(list), "dx");
  NodeRef d = s.ListChild(list, 0);
  EXPECT_EQ(s.PathBytes(d), "ef");
  EXPECT_EQ(s.PathChild(d), oldLeaf) << "the old leaf is kept";
  NodeRef x = s.ListChild(list, 1);
  EXPECT_EQ(s.PathBytes(x), "yz");
  EXPECT_EQ(s.PathChild(x).kind, 0);

  const std::uint64_t endBefore = db.ku.EndUnit();
  ASSERT_EQ(db.Put("abc", "3"), 0);
  EXPECT_EQ(db.ku.EndUnit(), endBefore) << "abc needs no new node";
  EXPECT_EQ(s.ValueLength(list), 1);

  ASSERT_EQ(db.Put("ab", "4"), 0);
  NodeRef b = s.RootSlot('a');
  ASSERT_EQ(b.kind, 1);
  EXPECT_EQ(s.ListKeys(b), "b");
  NodeRef c = s.ListChild(b, 0);
  ASSERT_EQ(c.kind, 1);
  EXPECT_EQ(s.ListKeys(c), "c");
  EXPECT_EQ(s.ValueLength(c), 1) << "the one-entry list {c} holds the value of ab";
  EXPECT_EQ(s.ListChild(c, 0), list);

  for (auto [k, v] : std::map<std::string, std::string>{{"abcdef", "1"}, {"abcxyz", "2"}, {"abc", "3"}, {"ab", "4"}})
    EXPECT_EQ(db.Get(k), B(v)) << k;
  db.ExpectCheckPasses();
}

TEST(KuOperations, LongRunsAreChainedPathNodes) {
  TestDb db;
  Shape s{db.ku};
  ASSERT_EQ(db.Put("q1", "x"), 0);
  std::string key = "q2" + std::string(400, 'r');  // 400 bytes after the branch at 'q'
  key.back() = 'z';
  ASSERT_EQ(db.Put(key, "long"), 0);
  NodeRef q = s.RootSlot('q');
  ASSERT_EQ(q.kind, 2);
  NodeRef p1 = s.ListChild(q, 1);
  ASSERT_EQ(trie::PathLength(p1.kind), 191u);
  NodeRef p2 = s.PathChild(p1);
  ASSERT_EQ(trie::PathLength(p2.kind), 191u);
  NodeRef p3 = s.PathChild(p2);
  ASSERT_EQ(trie::PathLength(p3.kind), 18u);
  EXPECT_EQ(s.PathChild(p3).kind, 0);
  EXPECT_EQ(db.Get(key), B("long"));
  db.ExpectCheckPasses();
}

TEST(KuOperations, SixtyFifthBranchTurnsTheListIntoAFullNode) {
  TestDb db;
  Shape s{db.ku};
  for (int i = 0; i < 64; ++i) ASSERT_EQ(db.Put(Bytes{'p', 'x', static_cast<std::uint8_t>(i * 3)}, B("v")), 0);
  NodeRef p = s.RootSlot('p');
  NodeRef list = s.ListChild(p, 0);
  EXPECT_EQ(list.kind, 64);
  ASSERT_EQ(db.Put(Bytes{'p', 'x', 255}, B("w")), 0);
  EXPECT_EQ(s.ListChild(s.RootSlot('p'), 0).kind, trie::kFullKind);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(db.Get(Bytes{'p', 'x', static_cast<std::uint8_t>(i * 3)}), B("v"));
  EXPECT_EQ(db.Get(Bytes{'p', 'x', 255}), B("w"));
  db.ExpectCheckPasses();
}

TEST(KuOperations, GetResultsAndPartialCopies) {
  TestDb db;
  ASSERT_EQ(db.Put("ten", "0123456789"), 0);
  std::uint8_t buf[4] = {};
  std::uint32_t length = 4;
  ASSERT_EQ(db.ku.Get(B("ten"), buf, &length), 0);
  EXPECT_EQ(length, 10u);
  EXPECT_EQ(std::memcmp(buf, "0123", 4), 0);

  length = 4;
  EXPECT_EQ(db.ku.Get(B("missing"), buf, &length), kGetNotFound);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(db.ku.Get(B("ten"), buf, nullptr), kGetClosed);
  length = 4;
  EXPECT_EQ(db.ku.Get(B("x"), buf, &length), kGetHeader) << "walk ends in an empty root slot";

  // A key whose value was cleared is found with length 0.
  ASSERT_EQ(db.Put("ten", ""), 0);
  length = 4;
  EXPECT_EQ(db.ku.Get(B("ten"), buf, &length), 0);
  EXPECT_EQ(length, 0u);
}

// Get's codes are fixed per failure site and 294 serves both an empty slot
// and an unreadable header; Presence keeps "no value" apart from damage.
TEST(KuOperations, PresenceTellsAbsentFromDamaged) {
  TestDb db;
  ASSERT_EQ(db.Put("present", "0123456789"), 0);
  ASSERT_EQ(db.Put("cleared", "x"), 0);
  ASSERT_EQ(db.Put("cleared", ""), 0);
  ASSERT_EQ(db.Put("p", "short"), 0);   // root slot 'p' leads to the path "resent"
  ASSERT_EQ(db.Put("h", "header"), 0);  // one-byte keys: a leaf in the root slot
  ASSERT_EQ(db.Put("b", "a block value"), 0);
  ASSERT_EQ(db.Put("n", "node"), 0);
  auto rootSlot = [&](char c) { return trie::kRootUnit * 8 + 8 + 7 * static_cast<std::uint8_t>(c); };
  auto slotRef = [&](char c) {
    std::uint8_t raw[7];
    EXPECT_EQ(db.ku.KuView()->Read(rootSlot(c), raw, 7), 0);
    return trie::LoadNodeRef(raw);
  };
  // Damage: a leaf past EndUnit, a value block past EndUnit, and a list
  // node on the way to a longer key that cannot be read.
  std::uint8_t ref[7];
  trie::StoreNodeRef(ref, trie::NodeRef{trie::kLeafKind, db.ku.EndUnit() + 10});
  ASSERT_EQ(db.ku.KuView()->Write(rootSlot('h'), ref, 7), 0);
  std::uint8_t far[6];
  trie::StoreUnitAddr(far, db.ku.EndUnit() + 10);
  ASSERT_EQ(db.ku.KuView()->Write(slotRef('b').address * 8 + 2, far, 6), 0);
  trie::StoreNodeRef(ref, trie::NodeRef{3, db.ku.EndUnit() + 10});
  ASSERT_EQ(db.ku.KuView()->Write(rootSlot('n'), ref, 7), 0);

  struct Case {
    const char* key;
    int code;
    Presence presence;
  };
  const Case cases[] = {
      {"present", 0, Presence::Present},
      {"cleared", 0, Presence::Absent},
      {"prefix", kGetNotFound, Presence::Absent},  // leaves the path "resent"
      {"z", kGetHeader, Presence::Absent},          // an empty root slot
      {"h", kGetHeader, Presence::Damaged},
      {"b", kGetBlock, Presence::Damaged},
      {"nx", kGetNotFound, Presence::Damaged},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    Bytes value{9};
    Presence presence = Presence::Present;
    EXPECT_EQ(db.ku.GetValue(B(c.key), &value, &presence), c.code);
    EXPECT_EQ(presence, c.presence);
    if (c.presence != Presence::Present) {
      EXPECT_TRUE(value.empty());
    }
    std::uint8_t buffer[32];
    std::uint32_t length = sizeof buffer;
    EXPECT_EQ(db.ku.Get(B(c.key), buffer, &length, &presence), c.code);
    EXPECT_EQ(presence, c.presence);
  }
}

// ScannedValue reads inline values from the header and longer ones from
// their block, and stops at the caller's buffer.
TEST(KuOperations, ScannedValueReadsInlineAndBlockValues) {
  TestDb db;
  ASSERT_EQ(db.Put("a", "inline"), 0);
  ASSERT_EQ(db.Put("b", "in a block of its own"), 0);
  struct Seen {
    std::vector<std::uint32_t> lengths;
    std::vector<Bytes> firstFour;
  } seen;
  ASSERT_EQ(db.ku.Scan(B("a"), 1, 1,
                       [](const std::uint8_t*, std::uint32_t, const std::uint8_t* vh, void* context, Ku& ku) {
                         auto* s = static_cast<Seen*>(context);
                         const ScannedValue value(vh, ku);
                         Bytes four(4);
                         EXPECT_EQ(value.Read(four), 0);
                         s->lengths.push_back(value.Length());
                         s->firstFour.push_back(four);
                         return 1;
                       },
                       &seen),
            1);
  EXPECT_EQ(seen.lengths, (std::vector<std::uint32_t>{6, 21}));
  EXPECT_EQ(seen.firstFour, (std::vector<Bytes>{B("inli"), B("in a")}));
}

TEST(KuOperations, PutEdgeCases) {
  TestDb db;
  const std::uint64_t end = db.ku.EndUnit();
  EXPECT_EQ(db.Put("x", ""), kPutHeader) << "the walk ends in an empty root slot";
  EXPECT_EQ(db.Put("nothing", ""), 0) << "the walk stops before the key ends";
  EXPECT_EQ(db.ku.EndUnit(), end);
  ASSERT_EQ(db.Put("na", "1"), 0);
  const std::uint64_t end2 = db.ku.EndUnit();
  EXPECT_GT(end2, end);
  EXPECT_EQ(db.Put("nothing", ""), 0) << "clearing a missing key";
  EXPECT_EQ(db.ku.EndUnit(), end2) << "and creates nothing";

  std::vector<std::uint8_t> big(65536, 1);
  EXPECT_EQ(db.ku.Put(B("big"), big.data(), 65536), kPutClosed);
  EXPECT_EQ(db.ku.Put(B("big"), big.data(), 65535), 0);
  EXPECT_EQ(db.Get("big").size(), 65535u);

  ASSERT_EQ(db.ku.Put(B("zeros"), nullptr, 20), 0);
  EXPECT_EQ(db.Get("zeros"), Bytes(20, 0));

  Bytes longKey(16384, 'k');
  EXPECT_EQ(db.Put(longKey, B("max")), 0);
  EXPECT_EQ(db.Get(longKey), B("max"));
  Bytes tooLong(16385, 'k');
  EXPECT_NE(db.Put(tooLong, B("x")), 0);
  db.ExpectCheckPasses();
}

TEST(KuOperations, ValueBlocksAreReusedReplacedOrInlined) {
  TestDb db;
  Shape s{db.ku};
  ASSERT_EQ(db.Put(B("v"), Bytes(8, 1)), 0);
  const std::uint64_t block8 = trie::LoadUnitAddr(s.Node(s.RootSlot('v')).data() + 2);
  ASSERT_EQ(db.Put(B("v"), Bytes(16, 2)), 0);
  const std::uint64_t block16 = trie::LoadUnitAddr(s.Node(s.RootSlot('v')).data() + 2);
  EXPECT_NE(block16, block8) << "8 -> 16 bytes needs two units";
  EXPECT_EQ(db.ku.FreeSpace().Head(1), 1u) << "the one-unit block was released";

  ASSERT_EQ(db.Put(B("w"), Bytes(9, 3)), 0);
  const std::uint64_t block9 = trie::LoadUnitAddr(s.Node(s.RootSlot('w')).data() + 2);
  ASSERT_EQ(db.Put(B("w"), Bytes(16, 4)), 0);
  EXPECT_EQ(trie::LoadUnitAddr(s.Node(s.RootSlot('w')).data() + 2), block9) << "9 -> 16 reuses in place";

  // Shrinking within the same units clears the stale tail.
  ASSERT_EQ(db.Put(B("w"), Bytes(10, 5)), 0);
  std::uint8_t raw[16];
  ASSERT_EQ(db.ku.KuView()->Read(block9 * 8, raw, 16), 0);
  for (int i = 10; i < 16; ++i) EXPECT_EQ(raw[i], 0) << i;

  ASSERT_EQ(db.Put(B("w"), Bytes(4, 6)), 0);
  Bytes vh = s.Node(s.RootSlot('w'));
  EXPECT_EQ(LoadU16LE(vh.data()), 4);
  EXPECT_EQ(Bytes(vh.begin() + 2, vh.begin() + 6), Bytes(4, 6));
  ASSERT_EQ(db.ku.KuView()->Read(block9 * 8, raw, 16), 0);
  EXPECT_EQ(Bytes(raw, raw + 16), Bytes(16, 0)) << "released blocks are zeroed";
  db.ExpectCheckPasses();
}

TEST(KuOperations, ExchangeReturnsOldValueAndAlwaysCreatesThePath) {
  TestDb db;
  std::uint8_t old[32];
  std::uint32_t oldLength = sizeof old;
  const std::uint64_t end = db.ku.EndUnit();
  ASSERT_EQ(db.ku.Exchange(B("ex"), nullptr, 0, old, &oldLength), 0);
  EXPECT_EQ(oldLength, 0u);
  EXPECT_GT(db.ku.EndUnit(), end) << "the path exists even for an empty value";

  const Bytes first = B("first value, long");
  ASSERT_EQ(db.ku.Exchange(B("ex"), first.data(), static_cast<std::uint32_t>(first.size()), old, &oldLength), 0);
  EXPECT_EQ(oldLength, 0u);
  oldLength = 5;
  const Bytes second = B("2nd");
  ASSERT_EQ(db.ku.Exchange(B("ex"), second.data(), 3, old, &oldLength), 0);
  EXPECT_EQ(oldLength, first.size());
  EXPECT_EQ(Bytes(old, old + 5), B("first"));
  EXPECT_EQ(db.Get("ex"), second);
  db.ExpectCheckPasses();
}

TEST(KuOperations, PutIfModes) {
  TestDb db;
  Bytes data = B("abc");
  EXPECT_EQ(db.ku.PutIf(PutIfMode::PutIfPresent, B("m"), data.data(), 3), kPutIfPath);
  EXPECT_EQ(db.ku.PutIf(PutIfMode::PutIfAbsent, B("m"), data.data(), 3), 0);
  Bytes other = B("xyz");
  EXPECT_EQ(db.ku.PutIf(PutIfMode::PutIfAbsent, B("m"), other.data(), 3), kPutIfCondition);
  EXPECT_EQ(db.Get("m"), B("abc"));
  EXPECT_EQ(db.ku.PutIf(PutIfMode::PutIfPresent, B("m"), other.data(), 3), 0);
  EXPECT_EQ(db.Get("m"), B("xyz"));
  ASSERT_EQ(db.Put("m", ""), 0);
  EXPECT_EQ(db.ku.PutIf(PutIfMode::PutIfPresent, B("m"), data.data(), 3), kPutIfCondition);
  EXPECT_EQ(db.ku.PutIf(PutIfMode::PutAlways, B("m"), data.data(), 3), 0);
  EXPECT_EQ(db.Get("m"), B("abc"));

  std::uint8_t counter[4] = {1, 0, 0, 0};
  ASSERT_EQ(db.ku.PutIf(PutIfMode::AddCounter, B("c"), counter, 4), 0);
  EXPECT_EQ(LoadU32LE(counter), 1u);
  StoreU32LE(counter, 0xFFFFFFFFu);
  ASSERT_EQ(db.ku.PutIf(PutIfMode::AddCounter, B("c"), counter, 4), 0);
  EXPECT_EQ(LoadU32LE(counter), 0u) << "1 + 0xFFFFFFFF wraps to 0";
  StoreU32LE(counter, 0x01020304u);
  ASSERT_EQ(db.ku.PutIf(PutIfMode::AddCounter, B("c"), counter, 4), 0);
  StoreU32LE(counter, 0);
  ASSERT_EQ(db.ku.PutIf(PutIfMode::AddCounter, B("c"), counter, 4), 0);
  EXPECT_EQ(LoadU32LE(counter), 0x01020304u) << "adding 0 reads the counter";

  Bytes seven(7, 1);
  EXPECT_EQ(db.ku.PutIf(PutIfMode::AddCounter, B("c"), seven.data(), 7), kPutIfBlockWrite);
  ASSERT_EQ(db.Put(B("long"), Bytes(9, 1)), 0);
  EXPECT_EQ(db.ku.PutIf(PutIfMode::AddCounter, B("long"), counter, 4), kPutIfCounterTooLong);
  db.ExpectCheckPasses();
}

TEST(KuOperations, EraseRemovesAPrefixUpToAMaximumLength) {
  TestDb db;
  const std::vector<std::string> keys = {"n1", "n1a", "n1ab", "n1abc", "n1b" + std::string(300, 'q'), "n2", "n", "m1"};
  for (const auto& k : keys) ASSERT_EQ(db.Put(k, "value of " + k), 0);
  EXPECT_EQ(db.ku.Erase(B("n1"), 3), 2u) << "n1 and n1a";
  EXPECT_EQ(db.Get("n1").size(), 0u);
  EXPECT_EQ(db.Get("n1a").size(), 0u);
  EXPECT_EQ(db.Get("n1ab"), B("value of n1ab"));
  db.ExpectCheckPasses();
  EXPECT_EQ(db.ku.Erase(B("n1"), 16384), 3u);
  EXPECT_EQ(db.ku.Erase(B("n1"), 16384), 0u) << "a second erase finds nothing";
  for (const std::string k : {"n2", "n", "m1"}) EXPECT_EQ(db.Get(k), B("value of " + k)) << k;
  EXPECT_EQ(db.ku.Erase(B("n"), 1), 1u) << "maximum = prefix length removes exactly one key";
  EXPECT_EQ(db.Get("n2"), B("value of n2"));
  db.ExpectCheckPasses();
  // Everything that was pruned went to the free lists or was reused.
  StoreCheckReport r = CheckStore(db.ku);
  EXPECT_GT(r.freeBlocks, 0u);
}

// Collects what Scan reports.
int Collect(const std::uint8_t* key, std::uint32_t keyLength, const std::uint8_t* vh, void* context, Ku& ku) {
  auto* out = static_cast<std::vector<std::pair<Bytes, Bytes>>*>(context);
  Bytes value;
  EXPECT_EQ(ScannedValue(vh, ku).ReadAll(&value), 0);
  out->emplace_back(Bytes(key, key + keyLength), value);
  return 1;
}

TEST(KuOperations, ScanListsAPrefixInKeyOrderAndStopsWhenAsked) {
  TestDb db;
  std::map<Bytes, Bytes> model;
  std::mt19937 rng(7);
  for (int i = 0; i < 500; ++i) {
    Bytes key{0x02, 5, 0, 0, 0, static_cast<std::uint8_t>(rng() % 4)};
    for (auto n = rng() % 6; n > 0; --n) key.push_back(static_cast<std::uint8_t>(rng() % 3 * 100));
    Bytes value(rng() % 20 + 1, static_cast<std::uint8_t>(i));
    model[key] = value;
    ASSERT_EQ(db.Put(key, value), 0);
  }
  ASSERT_EQ(db.Put(Bytes{0x02, 6, 0, 0, 0, 1}, B("other note")), 0);
  ASSERT_EQ(db.Put(Bytes{0x02, 5, 0, 0}, B("too short")), 0);

  std::vector<std::pair<Bytes, Bytes>> seen;
  Bytes start{0x02, 5, 0, 0, 0};
  ASSERT_EQ(db.ku.Scan(start, 6, 16384, &Collect, &seen), 1);
  std::vector<std::pair<Bytes, Bytes>> expected(model.begin(), model.end());
  EXPECT_EQ(seen, expected);

  // A start key inside the range starts there.
  Bytes from{0x02, 5, 0, 0, 0, 2};
  seen.clear();
  ASSERT_EQ(db.ku.Scan(from, 6, 16384, &Collect, &seen), 1);
  std::vector<std::pair<Bytes, Bytes>> tail(model.lower_bound(from), model.end());
  EXPECT_EQ(seen, tail);

  // Maximum length bounds what is visited.
  seen.clear();
  ASSERT_EQ(db.ku.Scan(start, 6, 6, &Collect, &seen), 1);
  for (auto& [k, v] : seen) EXPECT_EQ(k.size(), 6u);

  int calls = 0;
  auto stopAfterThree = [](const std::uint8_t*, std::uint32_t, const std::uint8_t*, void* ctx, Ku&) -> int {
    return ++*static_cast<int*>(ctx) < 3;
  };
  EXPECT_EQ(db.ku.Scan(start, 6, 16384, stopAfterThree, &calls), 0);
  EXPECT_EQ(calls, 3);
}

TEST(KuOperations, ScanCallbackMayCallIntoTheDatabase) {
  TestDb db;
  for (int i = 0; i < 10; ++i) ASSERT_EQ(db.Put(Bytes{'s', static_cast<std::uint8_t>(i)}, B("v")), 0);
  struct Ctx {
    int reads = 0;
  } ctx;
  auto cb = [](const std::uint8_t* key, std::uint32_t keyLength, const std::uint8_t*, void* c, Ku& ku) -> int {
    std::uint8_t v[4];
    std::uint32_t n = sizeof v;
    EXPECT_EQ(ku.Get(std::span<const std::uint8_t>(key, keyLength), v, &n), 0);
    ++static_cast<Ctx*>(c)->reads;
    return 1;
  };
  ASSERT_EQ(db.ku.Scan(B("s"), 2, 2, cb, &ctx), 1);
  EXPECT_EQ(ctx.reads, 10);
}

}  // namespace
}  // namespace vellumo
