#pragma once
// A deterministic mixed workload: operation i depends only on (seed, i), so a
// process that was killed can be replayed exactly up to the last operation
// that returned.
#include <cstdint>
#include <random>
#include <string>
#include <vector>
#include <algorithm>
#include <map>

#include <gtest/gtest.h>

#include "store/ku.h"
#include "store/trie_format.h"

namespace vellumo::testing {

struct WorkloadOp {
  enum Kind { Put, Exchange, Clear, Erase } kind;
  std::vector<std::uint8_t> key;  // for Erase: the prefix
  std::vector<std::uint8_t> value;
  std::uint32_t eraseMax = 0;
};

inline WorkloadOp MakeWorkloadOp(std::uint32_t seed, std::uint64_t index) {
  std::mt19937_64 rng(seed * 0x9E3779B97F4A7C15ull + index);
  WorkloadOp op{};
  const auto pick = rng() % 100;
  op.kind = pick < 60 ? WorkloadOp::Put : pick < 80 ? WorkloadOp::Exchange : pick < 95 ? WorkloadOp::Clear
                                                                                       : WorkloadOp::Erase;
  // Keys share prefixes so that lists, paths and full nodes all appear:
  // [kind][group u32][field][tail...].
  op.key.push_back(static_cast<std::uint8_t>(1 + rng() % 3));
  const auto group = static_cast<std::uint32_t>(rng() % 40);
  for (int i = 0; i < 4; ++i) op.key.push_back(static_cast<std::uint8_t>(group >> (8 * i)));
  if (op.kind == WorkloadOp::Erase) {
    op.eraseMax = 16384;
    return op;
  }
  op.key.push_back(static_cast<std::uint8_t>(rng() % 70));
  const auto tail = rng() % 8 == 0 ? 100 + rng() % 300 : rng() % 6;
  for (std::uint64_t i = 0; i < tail; ++i) op.key.push_back(static_cast<std::uint8_t>('a' + rng() % 3));
  if (op.kind == WorkloadOp::Clear) return op;
  // Every size class: inline, small blocks, split-sized, large, maximum.
  static constexpr std::uint32_t kSizes[] = {1, 4, 6, 7, 8, 9, 16, 24, 100, 129, 1000, 8191, 30000, 65535};
  std::uint32_t size = kSizes[rng() % (sizeof kSizes / sizeof kSizes[0])];
  if (size > 1000 && rng() % 4 != 0) size = static_cast<std::uint32_t>(1 + rng() % 200);
  op.value.resize(size);
  const auto fill = static_cast<std::uint8_t>(rng());
  for (std::uint32_t i = 0; i < size; ++i) op.value[i] = static_cast<std::uint8_t>(fill + i * 7);
  return op;
}

using Bytes = std::vector<std::uint8_t>;

inline void ApplyToModel(const WorkloadOp& op, std::map<Bytes, Bytes>& model) {
  switch (op.kind) {
    case WorkloadOp::Put:
    case WorkloadOp::Exchange:
      model[op.key] = op.value;
      break;
    case WorkloadOp::Clear:
      model.erase(op.key);
      break;
    case WorkloadOp::Erase:
      for (auto it = model.lower_bound(op.key); it != model.end() && std::equal(op.key.begin(), op.key.end(), it->first.begin());)
        it = model.erase(it);
      break;
  }
}

inline int RunOp(Ku& ku, const WorkloadOp& op) {
  switch (op.kind) {
    case WorkloadOp::Put:
      return ku.Put(op.key, op.value.data(), static_cast<std::uint32_t>(op.value.size()));
    case WorkloadOp::Exchange: {
      std::uint32_t n = 0;
      return ku.Exchange(op.key, op.value.data(), static_cast<std::uint32_t>(op.value.size()), nullptr, &n);
    }
    case WorkloadOp::Clear: {
      const int rc = ku.Put(op.key, nullptr, 0);
      return rc == ku_error::kPutHeader ? 0 : rc;  // a missing key ending at an empty root slot
    }
    case WorkloadOp::Erase:
      ku.Erase(op.key, op.eraseMax);
      return 0;
  }
  return -1;
}

inline int CollectAll(const std::uint8_t* key, std::uint32_t n, const std::uint8_t* vh, void* ctx, Ku& ku) {
  auto* out = static_cast<std::map<Bytes, Bytes>*>(ctx);
  Bytes value;
  if (ScannedValue(vh, ku).ReadAll(&value) != 0) return 0;
  (*out)[Bytes(key, key + n)] = value;
  return 1;
}

inline void ExpectMatchesModel(Ku& ku, const std::map<Bytes, Bytes>& model) {
  std::map<Bytes, Bytes> stored;
  ASSERT_EQ(ku.Scan(Bytes{0}, 1, 16384, &CollectAll, &stored), 1);
  ASSERT_EQ(stored.size(), model.size());
  EXPECT_TRUE(stored == model);
  for (const auto& [k, v] : model) {
    Bytes got;
    ASSERT_EQ(ku.GetValue(k, &got), 0);
    ASSERT_EQ(got, v);
  }
}

}  // namespace vellumo::testing
