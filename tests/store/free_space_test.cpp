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

TEST(FreeSpace, ARecordNamingTheRootOrBeyondEndIsRefused) {
  TestDb db;
  const std::uint64_t a = Alloc(db.ku, 16);
  Alloc(db.ku, 8);
  KuTestAccess::Release(db.ku, a, 16);
  db.ku.Close();
  {
    platform::File f = platform::File::OpenExclusiveWriter(db.hsPath);
    KYiQ8v v(f, 4, KYiQ8v::kFreeMapViewSize);
    std::uint8_t addr[6];
    trie::StoreUnitAddr(addr, trie::kRootUnit);
    ASSERT_EQ(v.Write(FreeSpaceMap::RecordOffset(1) + 4, addr, 6), 0);
  }
  db.Open();
  std::uint64_t unit = 0;
  EXPECT_EQ(KuTestAccess::Allocate(db.ku, 16, &unit), ku_error::kReusedBeyondEnd);
  // The root is intact and the database still works.
  ASSERT_EQ(db.Put("after", "ok"), 0);
  EXPECT_EQ(db.Get("after"), B("ok"));
}

}  // namespace
}  // namespace vellumo
