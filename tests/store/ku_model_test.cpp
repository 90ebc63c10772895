// The store against a std::map model over a long mixed workload, with
// reopening and a full integrity check along the way.
#include <gtest/gtest.h>

#include <map>
#include <thread>

#include "store_test_util.h"
#include "workload.h"

namespace vellumo {
namespace {

using namespace testing;

TEST(KuModel, LongMixedWorkloadMatchesAMapAcrossReopens) {
  TestDb db;
  std::map<Bytes, Bytes> model;
  constexpr std::uint64_t kOps = 12000;
  for (std::uint64_t i = 0; i < kOps; ++i) {
    const WorkloadOp op = MakeWorkloadOp(11, i);
    ASSERT_EQ(RunOp(db.ku, op), 0) << "op " << i;
    ApplyToModel(op, model);
    if (i % 3000 == 2999) {
      db.ExpectCheckPasses();
      ExpectMatchesModel(db.ku, model);
      db.Reopen();
    }
  }
  ExpectMatchesModel(db.ku, model);
  StoreCheckReport r = CheckStore(db.ku);
  ASSERT_TRUE(r.ok) << r.fault;
  EXPECT_EQ(r.keys, model.size());
  EXPECT_GT(r.freeBlocks + db.ku.FreeSpace().Counters().reuseCount, 0u) << "released space is tracked";
}

TEST(KuModel, TwoThreadsShareOneDatabase) {
  TestDb db;
  auto worker = [&](std::uint8_t tag) {
    for (std::uint32_t i = 0; i < 3000; ++i) {
      Bytes key{tag, static_cast<std::uint8_t>(i % 50), static_cast<std::uint8_t>(i % 7)};
      Bytes value(1 + i % 40, tag);
      ASSERT_EQ(db.ku.Put(key, value.data(), static_cast<std::uint32_t>(value.size())), 0);
      std::uint8_t one[4] = {1, 0, 0, 0};
      ASSERT_EQ(db.ku.PutIf(PutIfMode::AddCounter, Bytes{'c'}, one, 4), 0);
      if (i % 500 == 0) db.ku.Erase(Bytes{tag, static_cast<std::uint8_t>(i % 50)}, 16384);
    }
  };
  std::thread a(worker, std::uint8_t{'A'});
  std::thread b(worker, std::uint8_t{'B'});
  a.join();
  b.join();
  std::uint8_t zero[4] = {};
  ASSERT_EQ(db.ku.PutIf(PutIfMode::AddCounter, Bytes{'c'}, zero, 4), 0);
  EXPECT_EQ(LoadU32LE(zero), 6000u) << "no counter step was lost";
  db.ExpectCheckPasses();
}

}  // namespace
}  // namespace vellumo
