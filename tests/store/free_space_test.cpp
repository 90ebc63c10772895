#include <gtest/gtest.h>

#include "store_test_util.h"

namespace vellumo {
namespace {

using namespace testing;

std::uint64_t Alloc(Ku& ku, std::uint32_t bytes) {
  std::uint64_t unit = 0;
  EXPECT_EQ(KuTestAccess::Allocate(ku, bytes, &unit), 0);
  return unit;
}

TEST(FreeSpace, ReleasedBlockIsSplitForASmallerRequest) {
  TestDb db;
  const std::uint64_t a = Alloc(db.ku, 24);
  EXPECT_EQ(a, 229u);
  Alloc(db.ku, 8);  // keeps the released block away from EndUnit
  KuTestAccess::Release(db.ku, a, 24);
  EXPECT_EQ(db.ku.FreeSpace().FileSize(), 512u * 1024) << "the first release grows the .hs file";
  EXPECT_EQ(db.ku.FreeSpace().Head(3), 1u);
  EXPECT_EQ(db.ku.FreeSpace().Head(1), 1u) << "smaller empty lists lead to the next non-empty one";
  EXPECT_EQ(db.ku.FreeSpace().Head(4), 0u);

  EXPECT_EQ(Alloc(db.ku, 8), a) << "the caller gets the first unit";
  const FreeSpaceMap& fs = db.ku.FreeSpace();
  ASSERT_TRUE(fs.ListNonEmpty(2));
  FreeRecord rec;
  ASSERT_EQ(db.ku.FreeSpace().ReadRecord(fs.Head(2), &rec), 0);
  EXPECT_EQ(rec.address, a + 1) << "the 16-byte rest is recorded at unit + 1";
  EXPECT_EQ(fs.Head(3), 0u);
  EXPECT_EQ(fs.Counters().splitOrMissCount, 3u) << "two fresh allocations and one split";
  EXPECT_EQ(fs.Counters().recordHighWater, 1u) << "the popped record is reused for the rest";
  db.ExpectCheckPasses();
}

TEST(FreeSpace, OnlySmallRequestsSplitALargerBlock) {
  struct Case {
    std::uint32_t requestUnits;
    bool reusesBlock;
  };
  for (const Case c : {Case{8, true}, Case{16, true}, Case{17, false}, Case{25, true}}) {
    SCOPED_TRACE(c.requestUnits);
    TestDb db;
    const std::uint64_t big = Alloc(db.ku, 25 * 8);
    Alloc(db.ku, 8);
    KuTestAccess::Release(db.ku, big, 25 * 8);
    const std::uint64_t end = db.ku.EndUnit();
    const std::uint64_t got = Alloc(db.ku, c.requestUnits * 8);
    if (c.reusesBlock) {
      EXPECT_EQ(got, big);
      if (c.requestUnits < 25) {
        const std::uint32_t rest = 25 - c.requestUnits;
        ASSERT_TRUE(db.ku.FreeSpace().ListNonEmpty(rest));
        FreeRecord rec;
        ASSERT_EQ(db.ku.FreeSpace().ReadRecord(db.ku.FreeSpace().Head(rest), &rec), 0);
        EXPECT_EQ(rec.address, big + c.requestUnits);
      }
    } else {
      EXPECT_EQ(got, end) << "fresh space at EndUnit";
      EXPECT_TRUE(db.ku.FreeSpace().ListNonEmpty(25)) << "the large block stays free";
    }
    db.ExpectCheckPasses();
  }
}

TEST(FreeSpace, RecordsAreRecycledAndListsStayOrdered) {
  TestDb db;
  std::vector<std::uint64_t> blocks;
  for (std::uint32_t units : {1u, 2u, 3u, 2u, 5u, 1u}) blocks.push_back(Alloc(db.ku, units * 8));
  Alloc(db.ku, 8);
  const std::uint32_t sizes[] = {1, 2, 3, 2, 5, 1};
  for (std::size_t i = 0; i < blocks.size(); ++i) KuTestAccess::Release(db.ku, blocks[i], sizes[i] * 8);
  EXPECT_EQ(db.ku.FreeSpace().Counters().recordHighWater, 6u);
  EXPECT_EQ(db.ku.FreeSpace().Counters().freeUnits, 14u);
  db.ExpectCheckPasses();
  // Lists are last-in first-out.
  EXPECT_EQ(Alloc(db.ku, 16), blocks[3]);
  EXPECT_EQ(Alloc(db.ku, 16), blocks[1]);
  EXPECT_EQ(Alloc(db.ku, 8), blocks[5]);
  db.ExpectCheckPasses();
  KuTestAccess::Release(db.ku, blocks[1], 16);
  EXPECT_EQ(db.ku.FreeSpace().Counters().recordHighWater, 6u) << "a recycled record was used";
  db.Reopen();
  EXPECT_EQ(Alloc(db.ku, 16), blocks[1]) << "the map survives a reopen";
  db.ExpectCheckPasses();
}

TEST(FreeSpace, MissingHsFileOpensEmptyAndOldSpaceIsNeverReused) {
  TestDb db;
  const std::uint64_t a = Alloc(db.ku, 64);
  Alloc(db.ku, 8);
  KuTestAccess::Release(db.ku, a, 64);
  db.ku.Close();
  std::filesystem::remove(db.hsPath);
  db.Open();
  EXPECT_EQ(db.ku.FreeSpace().Head(8), 0u);
  const std::uint64_t end = db.ku.EndUnit();
  EXPECT_EQ(Alloc(db.ku, 64), end);
  db.ExpectCheckPasses();
}

// Writes FreeHead entries straight into the .hs file, as a process killed
// halfway through a head update would have left them.
void PokeHeads(const TestDb& db, std::uint32_t first, std::uint32_t last, std::uint32_t value) {
  platform::File f = platform::File::OpenExclusiveWriter(db.hsPath);
  KYiQ8v v(f, 4, KYiQ8v::kFreeMapViewSize);
  std::uint8_t raw[4];
  StoreU32LE(raw, value);
  for (std::uint32_t s = first; s <= last; ++s) ASSERT_EQ(v.Write(4ull * s, raw, 4), 0);
}

void PokePending(const TestDb& db, std::uint32_t top, std::uint32_t from, std::uint32_t to) {
  platform::File f = platform::File::OpenExclusiveWriter(db.hsPath);
  KYiQ8v v(f, 4, KYiQ8v::kFreeMapViewSize);
  std::uint8_t raw[16] = {};
  StoreU32LE(raw, top | 0x80000000u);
  StoreU32LE(raw + 4, from);
  StoreU32LE(raw + 8, to);
  ASSERT_EQ(v.Write(FreeSpaceMap::kPendingOffset, raw, 16), 0);
}

TEST(FreeSpace, AHeadUpdateCutShortIsFinishedOnOpen) {
  TestDb db;
  const std::uint64_t a = Alloc(db.ku, 32);
  const std::uint64_t b = Alloc(db.ku, 32);
  Alloc(db.ku, 8);
  KuTestAccess::Release(db.ku, a, 32);  // record 1 heads lists 1..4
  db.ku.Close();
  // The release of b (record 2) was announced and had reached only entries 4 and 3.
  {
    platform::File f = platform::File::OpenExclusiveWriter(db.hsPath);
    KYiQ8v v(f, 4, KYiQ8v::kFreeMapViewSize);
    std::uint8_t rec[12] = {};
    StoreU32LE(rec, 1);
    trie::StoreUnitAddr(rec + 4, b);
    ASSERT_EQ(v.Write(FreeSpaceMap::RecordOffset(2), rec, 12), 0);
    std::uint8_t hw[4];
    StoreU32LE(hw, 2);
    ASSERT_EQ(v.Write(FreeSpaceMap::kCountersOffset, hw, 4), 0);
  }
  PokeHeads(db, 3, 4, 2);
  PokePending(db, 4, 1, 2);
  db.Open();
  for (std::uint32_t s = 1; s <= 4; ++s) EXPECT_EQ(db.ku.FreeSpace().Head(s), 2u) << s;
  db.ExpectCheckPasses();
  EXPECT_EQ(Alloc(db.ku, 32), b);
  EXPECT_EQ(Alloc(db.ku, 32), a);
  db.ExpectCheckPasses();
}

TEST(FreeSpace, InconsistentMapIsDroppedRatherThanTrusted) {
  TestDb db;
  const std::uint64_t a = Alloc(db.ku, 32);
  Alloc(db.ku, 8);
  KuTestAccess::Release(db.ku, a, 32);
  db.ku.Close();
  PokeHeads(db, 2, 2, 7777);  // names a record that was never created
  db.Open();
  EXPECT_TRUE(db.ku.FreeSpaceWasReset());
  EXPECT_EQ(db.ku.FreeSpace().Head(4), 0u);
  const std::uint64_t end = db.ku.EndUnit();
  EXPECT_EQ(Alloc(db.ku, 32), end) << "nothing is handed out twice";
  db.ExpectCheckPasses();
}

// Writes bytes into the closed database's .hs file.
void PokeHs(const TestDb& db, std::uint64_t offset, const Bytes& bytes) {
  platform::File f = platform::File::OpenExclusiveWriter(db.hsPath);
  KYiQ8v v(f, 4, KYiQ8v::kFreeMapViewSize);
  ASSERT_EQ(v.Write(offset, bytes.data(), bytes.size()), 0);
}

Bytes U32(std::uint32_t value) {
  Bytes b(4);
  StoreU32LE(b.data(), value);
  return b;
}

Bytes Addr(std::uint64_t unit) {
  Bytes b(6);
  trie::StoreUnitAddr(b.data(), unit);
  return b;
}

// A free list the allocator cannot trust is dropped: the request takes fresh
// space, later requests of that size work again (also after a reopen), and
// no block is handed out twice or over a block in use.
TEST(FreeSpace, CorruptListsAreDroppedAndServedFromFreshSpace) {
  struct Case {
    const char* what;
    // Damages the .hs file of a database whose 2-unit list holds record 2
    // (block b) then record 1 (block a).
    void (*damage)(const TestDb& db, std::uint64_t a, std::uint64_t b);
  };
  const Case cases[] = {
      {"link out of range",
       [](const TestDb& db, std::uint64_t, std::uint64_t) { PokeHs(db, FreeSpaceMap::RecordOffset(2), U32(9999)); }},
      {"record linking to itself",
       [](const TestDb& db, std::uint64_t, std::uint64_t) { PokeHs(db, FreeSpaceMap::RecordOffset(2), U32(2)); }},
      {"block naming the root",
       [](const TestDb& db, std::uint64_t, std::uint64_t) {
         PokeHs(db, FreeSpaceMap::RecordOffset(2) + 4, Addr(trie::kRootUnit));
       }},
      {"block beyond EndUnit",
       [](const TestDb& db, std::uint64_t, std::uint64_t) {
         PokeHs(db, FreeSpaceMap::RecordOffset(2) + 4, Addr(1u << 30));
       }},
      {"block in use by the header",
       [](const TestDb& db, std::uint64_t, std::uint64_t) { PokeHs(db, FreeSpaceMap::RecordOffset(2) + 4, Addr(1)); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestDb db;
    ASSERT_EQ(db.Put("live", "a value in its own block"), 0);
    const std::uint64_t a = Alloc(db.ku, 16);
    const std::uint64_t b = Alloc(db.ku, 16);
    Alloc(db.ku, 8);
    KuTestAccess::Release(db.ku, a, 16);
    KuTestAccess::Release(db.ku, b, 16);
    db.ku.Close();
    c.damage(db, a, b);
    db.Open();
    ASSERT_FALSE(db.ku.FreeSpaceWasReset()) << "the heads themselves are sound";

    std::uint64_t end = db.ku.EndUnit();
    std::uint64_t got = 0;
    ASSERT_EQ(KuTestAccess::Allocate(db.ku, 16, &got), 0);
    EXPECT_EQ(got, end) << "fresh space instead of the bad list";
    EXPECT_FALSE(db.ku.FreeSpace().ListNonEmpty(2)) << "the list is gone";
    end = db.ku.EndUnit();
    ASSERT_EQ(KuTestAccess::Allocate(db.ku, 16, &got), 0);
    EXPECT_EQ(got, end) << "and stays gone: nothing is handed out twice";

    // The size class works again once something is released into it.
    KuTestAccess::Release(db.ku, got, 16);
    db.Reopen();
    std::uint64_t again = 0;
    ASSERT_EQ(KuTestAccess::Allocate(db.ku, 16, &again), 0);
    EXPECT_EQ(again, got) << "reuse resumes, across a reopen";
    EXPECT_EQ(db.Get("live"), B("a value in its own block"));
    db.ExpectCheckPasses();
  }
}

// A .hs file from an earlier moment of the same database lists a block that
// has since been handed out and written.  Reusing it would overwrite a live
// value.
TEST(FreeSpace, AnOlderHsFileNeverHandsOutABlockInUse) {
  TestDb db;
  const Bytes v100(100, 0x11), v200(200, 0x22), j100(100, 0x33), m100(100, 0x44);
  ASSERT_EQ(db.Put(B("k"), v100), 0);
  ASSERT_EQ(db.Put(B("k"), v200), 0) << "releases the 13-unit block of the first value";
  db.ku.Close();
  const auto older = db.dir / "older.hs";
  std::filesystem::copy_file(db.hsPath, older);
  db.Open();
  ASSERT_EQ(db.Put(B("j"), j100), 0) << "reuses that block";
  db.ku.Close();
  // Replaced by removing first: MinGW's copy_file refuses to overwrite even when told to.
  std::filesystem::remove(db.hsPath);
  std::filesystem::copy_file(older, db.hsPath);
  db.Open();
  ASSERT_EQ(db.Put(B("m"), m100), 0);
  EXPECT_EQ(db.Get(B("j")), j100) << "j's block was not handed out again";
  EXPECT_EQ(db.Get(B("m")), m100);
  EXPECT_EQ(db.Get(B("k")), v200);
  db.ExpectCheckPasses();
}

// The first allocations of a new database count misses, but a map that has
// never recorded a release stays an empty file until it does.
TEST(FreeSpace, HsFileStaysEmptyUntilTheFirstRelease) {
  TestDb db;
  // One-byte keys fill root slots and never split a node, so nothing is released.
  for (char k = 'a'; k <= 't'; ++k) ASSERT_EQ(db.Put(std::string(1, k), std::string(20, 'v')), 0);
  EXPECT_EQ(db.ku.FreeSpace().FileSize(), 0u);
  const std::uint32_t misses = db.ku.FreeSpace().Counters().splitOrMissCount;
  EXPECT_GT(misses, 0u) << "misses are still counted";
  db.Reopen();
  EXPECT_EQ(db.ku.FreeSpace().FileSize(), 0u) << "nor does closing write them";

  ASSERT_EQ(db.Put("a", std::string(40, 'w')), 0) << "a larger value releases the old block";
  EXPECT_EQ(db.ku.FreeSpace().FileSize(), 512u * 1024);
  const std::uint32_t inMemory = db.ku.FreeSpace().Counters().splitOrMissCount;
  db.Reopen();
  EXPECT_EQ(db.ku.FreeSpace().Counters().splitOrMissCount, inMemory) << "the release wrote every counter";
  db.ExpectCheckPasses();
}

// Only the .ku file makes a database; without its .hs file it runs and
// says that released space is not reused.
TEST(FreeSpace, AnUnopenableHsFileDisablesReuseOnly) {
  TestDb db;
  ASSERT_EQ(db.Put("before", "kept"), 0);
  db.ku.Close();
  std::filesystem::remove(db.hsPath);
  std::filesystem::create_directory(db.hsPath);  // cannot be opened as a file
  const OpenResult r = db.ku.OpenFiles(db.kuPath, db.hsPath);
  ASSERT_EQ(r, OpenResult::Opened);
  EXPECT_FALSE(db.ku.IsBroken());
  EXPECT_TRUE(db.ku.FreeSpaceUnavailable());
  EXPECT_EQ(db.Get("before"), B("kept"));
  ASSERT_EQ(db.Put("grows", "0123456789"), 0);
  const std::uint64_t end = db.ku.EndUnit();
  ASSERT_EQ(db.Put("grows", std::string(30, 'x')), 0) << "releases a block nobody records";
  ASSERT_EQ(db.Put("other", "abcdefghij"), 0);
  EXPECT_GT(db.ku.EndUnit(), end) << "nothing is reused";
  EXPECT_EQ(db.Get("grows"), B(std::string(30, 'x')));
  const StoreCheckReport report = CheckStore(db.ku);
  EXPECT_TRUE(report.ok) << report.fault;
  ASSERT_EQ(report.notes.size(), 1u);
  EXPECT_NE(report.notes[0].find("free-space file could not be opened"), std::string::npos) << report.notes[0];
  db.ku.Close();
  EXPECT_TRUE(std::filesystem::is_directory(db.hsPath));
}

}  // namespace
}  // namespace vellumo
