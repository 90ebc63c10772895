// Opening, refusing, stamping and surviving damaged database files.
#include <gtest/gtest.h>

#include <fstream>
#include <future>
#include <thread>
#include <random>

#include "store/trie_format.h"
#include "store_test_util.h"
#include "workload.h"

namespace vellumo {
namespace {

using namespace testing;

Bytes ReadFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}
void WriteFile(const std::filesystem::path& p, const Bytes& b) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

// A small real database to damage.
void FillSample(TestDb& db) {
  std::mt19937 rng(3);
  for (int i = 0; i < 300; ++i) {
    Bytes key{0x02, static_cast<std::uint8_t>(i % 7), 0, 0, 0, static_cast<std::uint8_t>(i % 5),
              static_cast<std::uint8_t>(i)};
    Bytes value(1 + rng() % 90, static_cast<std::uint8_t>(i));
    ASSERT_EQ(db.Put(key, value), 0);
  }
  for (int i = 0; i < 40; ++i) ASSERT_EQ(db.Put(Bytes{0x02, static_cast<std::uint8_t>(i % 7), 0, 0, 0, 1, static_cast<std::uint8_t>(i * 5)}, Bytes{}), 0);
  ASSERT_EQ(db.ku.Erase(Bytes{0x02, 3}, 16384) > 0, true);
}

TEST(KuFiles, OpeningCreatesBothFilesAndASecondOpenIsRefused) {
  TempDir dir;
  Ku first;
  EXPECT_EQ(first.OpenFiles(dir / "a-00000001.ku", dir / "a-00000001.hs"), OpenResult::Created);
  EXPECT_FALSE(first.IsBroken());
  EXPECT_TRUE(std::filesystem::exists(dir / "a-00000001.hs"));
  EXPECT_EQ(std::filesystem::file_size(dir / "a-00000001.ku"), 2u * 1024 * 1024);
  EXPECT_EQ(std::filesystem::file_size(dir / "a-00000001.hs"), 0u);

  Ku second;
  EXPECT_EQ(second.OpenFiles(dir / "a-00000001.ku", dir / "a-00000001.hs"), OpenResult::KuUnopenable);
  EXPECT_TRUE(second.IsBroken());
  std::uint32_t n = 0;
  EXPECT_EQ(second.Get(B("k"), nullptr, &n), ku_error::kGetClosed);
  EXPECT_EQ(second.Put(B("k"), nullptr, 1), ku_error::kPutClosed);

  first.Close();
  EXPECT_EQ(second.OpenFiles(dir / "a-00000001.ku", dir / "a-00000001.hs"), OpenResult::Opened);
}

TEST(KuFiles, ForeignOrTruncatedFilesAreRefusedUntouched) {
  TestDb sample;
  FillSample(sample);
  sample.ku.Close();
  const Bytes real = ReadFile(sample.kuPath);

  struct Case {
    const char* name;
    Bytes content;
    OpenResult expected;
  };
  Bytes zip(4096, 0x11);
  zip[0] = 'P';
  zip[1] = 'K';
  Bytes wrongVersion = real;
  wrongVersion[8] = 4;
  Bytes wrongUnit = real;
  wrongUnit[11] = 16;
  Bytes endInsideHeader = real;
  trie::StoreUnitAddr(&endInsideHeader[12], 100);
  const std::vector<Case> cases = {
      {"another format", zip, OpenResult::NotThisFormat},
      {"wrong version", wrongVersion, OpenResult::NotThisFormat},
      {"wrong unit size", wrongUnit, OpenResult::NotThisFormat},
      {"EndUnit inside the root", endInsideHeader, OpenResult::NotThisFormat},
      {"cut inside the header", Bytes(real.begin(), real.begin() + 10), OpenResult::Truncated},
      {"cut before EndUnit", Bytes(real.begin(), real.begin() + 2000), OpenResult::Truncated},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    WriteFile(dir / "x.ku", c.content);
    Ku ku;
    EXPECT_EQ(ku.OpenFiles(dir / "x.ku", dir / "x.hs"), c.expected);
    EXPECT_TRUE(ku.IsBroken());
    ku.Close();
    EXPECT_EQ(ReadFile(dir / "x.ku"), c.content) << "a refused file is never written";
  }
}

// A file cut where it still held live blocks has lost data, whatever its
// length; it is refused even when the cut falls on a whole number of views,
// which is also what a full disk leaves.
TEST(KuFiles, AFileCutThroughLiveBlocksIsRefusedEvenAtAViewBoundary) {
  TestDb db;
  for (int i = 0; i < 40; ++i) ASSERT_EQ(db.Put(Bytes{0x05, static_cast<std::uint8_t>(i)}, Bytes(60000, 0x5a)), 0);
  ASSERT_GT(db.ku.EndUnit() * 8, 2u * 1024 * 1024);
  db.ku.Close();
  Bytes cut = ReadFile(db.kuPath);
  cut.resize(2u * 1024 * 1024);
  WriteFile(db.kuPath, cut);
  Ku ku;
  EXPECT_EQ(ku.OpenFiles(db.kuPath, db.hsPath), OpenResult::Truncated);
  ku.Close();
  EXPECT_EQ(ReadFile(db.kuPath), cut) << "a refused file is never written";
}

// Files that a writer following the format produces, though this store
// never would: each opens, reads as written, and checks with a note.
TEST(KuFiles, WhatOtherCorrectWritersLeaveIsANoteNotDamage) {
  // The node of a one-byte key sits in the root slot for that byte.
  auto leafOf = [](Ku& ku, char key) {
    std::uint8_t raw[7];
    EXPECT_EQ(ku.KuView()->Read(trie::kRootUnit * 8 + 8 + 7 * static_cast<std::uint8_t>(key), raw, 7), 0);
    return trie::LoadNodeRef(raw);
  };
  const Bytes sixteen = B("0123456789abcdef");

  {
    SCOPED_TRACE("a value shrunk in place keeps its old tail");
    TestDb db;
    ASSERT_EQ(db.Put(B("k"), sixteen), 0);
    const trie::NodeRef leaf = leafOf(db.ku, 'k');
    std::uint8_t length[2];
    StoreU16LE(length, 9);  // 16 -> 9 bytes, same two units, tail left as it was
    ASSERT_EQ(db.ku.KuView()->Write(leaf.address * 8, length, 2), 0);
    EXPECT_EQ(db.Get("k"), B("012345678"));
    const StoreCheckReport r = CheckStore(db.ku);
    EXPECT_TRUE(r.ok) << r.fault;
    ASSERT_EQ(r.notes.size(), 1u);
    EXPECT_NE(r.notes[0].find("value block with a non-zero tail"), std::string::npos) << r.notes[0];
  }
  {
    SCOPED_TRACE("a release zeroes only the value's length");
    TestDb db;
    ASSERT_EQ(db.Put(B("f"), sixteen), 0);
    std::uint8_t vh[8];
    ASSERT_EQ(db.ku.KuView()->Read(leafOf(db.ku, 'f').address * 8, vh, 8), 0);
    const std::uint64_t block = trie::LoadUnitAddr(vh + 2);
    ASSERT_EQ(db.Put(B("f"), Bytes(100, 1)), 0);
    ASSERT_TRUE(db.ku.FreeSpace().ListNonEmpty(2));
    // What is left of a 9-byte value's block after the other writer released it.
    ASSERT_EQ(db.ku.KuView()->Write(block * 8 + 9, "abcdefg", 7), 0);
    const StoreCheckReport r = CheckStore(db.ku);
    EXPECT_TRUE(r.ok) << r.fault;
    ASSERT_EQ(r.notes.size(), 1u);
    EXPECT_NE(r.notes[0].find("free block with a non-zero tail"), std::string::npos) << r.notes[0];
    std::uint64_t unit = 0;
    ASSERT_EQ(KuTestAccess::Allocate(db.ku, 16, &unit), 0);
    EXPECT_NE(unit, block) << "a block that is not zero is not handed out";
  }
}

// A writer publishes EndUnit before the file grows; a full disk then leaves
// EndUnit past the end of the file.  The missing range reads as zeros, and
// only a write grows the file to reach it.
TEST(KuFiles, EndUnitPastTheEndOfTheFileOpensAndReadsAsZeros) {
  TestDb sample;
  FillSample(sample);
  std::map<Bytes, Bytes> before;
  ASSERT_EQ(sample.ku.Scan(Bytes{0}, 1, 16384, &CollectAll, &before), 1);
  sample.ku.Close();
  Bytes full = ReadFile(sample.kuPath);
  const std::uint64_t pastEnd = full.size() / 8 + 200000;  // far beyond one block
  trie::StoreUnitAddr(&full[12], pastEnd);
  WriteFile(sample.kuPath, full);

  {
    Ku ku;
    ASSERT_EQ(ku.OpenFiles(sample.kuPath, sample.hsPath), OpenResult::Opened);
    EXPECT_TRUE(ku.EndsBeforeEndUnit());
    std::map<Bytes, Bytes> after;
    ASSERT_EQ(ku.Scan(Bytes{0}, 1, 16384, &CollectAll, &after), 1);
    EXPECT_TRUE(after == before);
    const StoreCheckReport r = CheckStore(ku);
    EXPECT_TRUE(r.ok) << r.fault;
    ASSERT_EQ(r.notes.size(), 1u);
    EXPECT_NE(r.notes[0].find("before EndUnit"), std::string::npos) << r.notes[0];
  }
  EXPECT_EQ(ReadFile(sample.kuPath), full) << "reading never grows or writes the file";

  sample.Open();
  ASSERT_EQ(sample.Put(Bytes{0x07, 1}, Bytes(5000, 7)), 0);
  EXPECT_GT(sample.ku.EndUnit(), pastEnd) << "new blocks come after EndUnit";
  EXPECT_FALSE(sample.ku.EndsBeforeEndUnit()) << "the write grew the file to reach them";
  EXPECT_EQ(sample.Get(Bytes{0x07, 1}), Bytes(5000, 7));
  const StoreCheckReport r = CheckStore(sample.ku);
  EXPECT_TRUE(r.ok) << r.fault;
  EXPECT_TRUE(r.notes.empty());
}

// Every operation on a damaged file returns; the sanitizers see no stray
// access.  Whatever the damage, the files never grow past a sane size.
TEST(KuFiles, FlippedBytesNeverCrashAndNeverWriteOutsideTheFile) {
  TestDb sample;
  FillSample(sample);
  sample.ku.Close();
  const Bytes realKu = ReadFile(sample.kuPath);
  const Bytes realHs = ReadFile(sample.hsPath);
  std::mt19937 rng(1234);
  const std::uint64_t end = trie::LoadUnitAddr(&realKu[12]);
  for (int round = 0; round < 150; ++round) {
    TempDir dir;
    Bytes ku = realKu, hs = realHs;
    const int flips = 1 + static_cast<int>(rng() % 8);
    for (int i = 0; i < flips; ++i) {
      if (rng() % 4 == 0 && !hs.empty()) hs[rng() % std::min<std::size_t>(hs.size(), 33000 + 12 * 60)] ^= static_cast<std::uint8_t>(1 + rng() % 255);
      else ku[32 + rng() % (end * 8 - 32)] ^= static_cast<std::uint8_t>(1 << (rng() % 8));
    }
    WriteFile(dir / "f.ku", ku);
    WriteFile(dir / "f.hs", hs);
    Ku db;
    const OpenResult r = db.OpenFiles(dir / "f.ku", dir / "f.hs");
    if (r != OpenResult::Opened) continue;
    (void)CheckStore(db);
    std::map<Bytes, Bytes> all;
    (void)db.Scan(Bytes{0}, 1, 16384, &CollectAll, &all);
    for (int i = 0; i < 30; ++i) {
      Bytes key{0x02, static_cast<std::uint8_t>(rng() % 7), 0, 0, 0, static_cast<std::uint8_t>(rng() % 5),
                static_cast<std::uint8_t>(rng())};
      Bytes out;
      (void)db.GetValue(key, &out);
      Bytes value(rng() % 100, 9);
      (void)db.Put(key, value.data(), static_cast<std::uint32_t>(value.size()));
      std::uint32_t n = 0;
      (void)db.Exchange(key, nullptr, 0, nullptr, &n);
    }
    (void)db.Erase(Bytes{0x02, static_cast<std::uint8_t>(rng() % 7)}, 16384);
    db.Close();
    EXPECT_LE(std::filesystem::file_size(dir / "f.ku"), 64u * 1024 * 1024) << "round " << round;
    EXPECT_LE(std::filesystem::file_size(dir / "f.hs"), 8u * 1024 * 1024) << "round " << round;
  }
}

TEST(KuFiles, AddressBeyondEndUnitIsAnErrorAndCheckNamesIt) {
  TestDb db;
  ASSERT_EQ(db.Put("zebra", "stripes"), 0);
  ASSERT_EQ(db.Put("yak", "1"), 0);
  // Point root slot 'z' beyond EndUnit.
  std::uint8_t ref[7];
  trie::StoreNodeRef(ref, trie::NodeRef{70, db.ku.EndUnit() + 50});
  ASSERT_EQ(db.ku.KuView()->Write(trie::kRootUnit * 8 + 8 + 7 * 'z', ref, 7), 0);
  int rc = 0;
  EXPECT_TRUE(db.Get("zebra", &rc).empty());
  EXPECT_EQ(rc, ku_error::kGetNotFound);
  EXPECT_NE(db.Put("zebra", "new"), 0);
  EXPECT_EQ(db.Get("yak"), B("1")) << "other keys stay readable";
  StoreCheckReport r = CheckStore(db.ku);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.fault.find("outside the used area"), std::string::npos) << r.fault;

  // A value header naming a block past EndUnit.
  ASSERT_EQ(db.Put("value", "0123456789"), 0);
  std::uint8_t vh[8];
  const trie::NodeRef leaf = [&] {
    std::uint8_t raw[7];
    EXPECT_EQ(db.ku.KuView()->Read(trie::kRootUnit * 8 + 8 + 7 * 'v', raw, 7), 0);
    return trie::LoadNodeRef(raw);
  }();
  const trie::NodeRef path = leaf;
  ASSERT_TRUE(trie::IsPathKind(path.kind));
  std::uint8_t node[32];
  ASSERT_EQ(db.ku.KuView()->Read(path.address * 8, node, trie::NodeSize(path.kind)), 0);
  const trie::NodeRef end = trie::LoadNodeRef(node + 8 + trie::PathLength(path.kind));
  ASSERT_EQ(db.ku.KuView()->Read(end.address * 8, vh, 8), 0);
  trie::StoreUnitAddr(vh + 2, db.ku.EndUnit() + 1000);
  ASSERT_EQ(db.ku.KuView()->Write(end.address * 8, vh, 8), 0);
  Bytes out;
  EXPECT_EQ(db.ku.GetValue(B("value"), &out), ku_error::kGetBlock);
  EXPECT_EQ(db.Put("value", "replacement!"), ku_error::kPutOldBlock);
}

TEST(KuFiles, ModificationTimesAreStampedOnFirstWriteAfterOpenOrRelease) {
  TestDb db;
  ASSERT_EQ(db.Put("k", "v"), 0);
  EXPECT_EQ(db.ku.GetTouchState(), Ku::kWritten);
  db.ku.Close();
  const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::hours(24 * 400);
  std::filesystem::last_write_time(db.kuPath, old);
  std::filesystem::last_write_time(db.hsPath, old);

  db.Open();
  EXPECT_EQ(db.ku.GetTouchState(), Ku::kOpenedUnwritten);
  EXPECT_EQ(db.Get("k"), B("v"));
  db.ku.Close();
  // File systems keep times at different precisions: a second is close enough.
  EXPECT_LT(std::chrono::abs(std::filesystem::last_write_time(db.kuPath) - old), std::chrono::seconds(1))
      << "reading does not stamp";

  db.Open();
  ASSERT_EQ(db.Put("k", "w"), 0);
  EXPECT_EQ(db.ku.GetTouchState(), Ku::kWritten);
  db.ku.ReleaseViews();
  EXPECT_EQ(db.ku.GetTouchState(), Ku::kViewsReleased);
  EXPECT_EQ(db.Get("k"), B("w")) << "views come back on demand";
  ASSERT_EQ(db.Put("k", "x"), 0);
  EXPECT_EQ(db.ku.GetTouchState(), Ku::kWritten);
  db.ku.Close();
  const auto recent = std::filesystem::file_time_type::clock::now() - std::chrono::minutes(10);
  EXPECT_GT(std::filesystem::last_write_time(db.kuPath), recent);
  EXPECT_GT(std::filesystem::last_write_time(db.hsPath), recent);
}

TEST(KuFiles, ReleaseViewsGivesUpWhileAnotherThreadHoldsTheDatabase) {
  TestDb db;
  ASSERT_EQ(db.Put("k", "v"), 0);
  std::promise<void> locked, done;
  std::thread holder([&] {
    db.ku.Lock();
    locked.set_value();
    done.get_future().wait();
    db.ku.Unlock();
  });
  locked.get_future().wait();
  db.ku.ReleaseViews();
  EXPECT_EQ(db.ku.GetTouchState(), Ku::kWritten) << "busy: nothing was released";
  EXPECT_GT(db.ku.KuView()->ViewCount(), 0u);
  done.set_value();
  holder.join();
  db.ku.ReleaseViews();
  EXPECT_EQ(db.ku.GetTouchState(), Ku::kViewsReleased);
  EXPECT_EQ(db.ku.KuView()->ViewCount(), 0u);
}

TEST(KuFiles, TheLockIsReentrantForItsThread) {
  TestDb db;
  db.ku.Lock();
  db.ku.Lock();
  ASSERT_EQ(db.Put("nested", "ok"), 0);
  db.ku.Unlock();
  db.ku.Unlock();
  std::thread other([&] { EXPECT_EQ(db.Get("nested"), B("ok")); });
  other.join();
}

}  // namespace
}  // namespace vellumo
