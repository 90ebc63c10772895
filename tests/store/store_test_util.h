#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "store/ku.h"
#include "store/store_check.h"
#include "support/temp_dir.h"

namespace vellumo {

// Reaches the allocator and the raw file for shape and free-list tests.
class KuTestAccess {
 public:
  static int Allocate(Ku& ku, std::uint32_t bytes, std::uint64_t* unit) {
    ku.Lock();
    int rc = ku.AllocateBlock(bytes, unit);
    ku.Unlock();
    return rc;
  }
  static void Release(Ku& ku, std::uint64_t unit, std::uint32_t bytes) {
    ku.Lock();
    ku.ReleaseBlock(unit, bytes);
    ku.Unlock();
  }
};

namespace testing {

using Bytes = std::vector<std::uint8_t>;

inline Bytes B(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A database in its own temporary directory.
struct TestDb {
  TempDir dir;
  Ku ku;
  std::filesystem::path kuPath = dir / "test-00000001.ku";
  std::filesystem::path hsPath = dir / "test-00000001.hs";

  TestDb() { Open(); }
  void Open() {
    const OpenResult r = ku.OpenFiles(kuPath, hsPath);
    ASSERT_TRUE(r == OpenResult::Opened || r == OpenResult::Created);
  }
  void Reopen() {
    ku.Close();
    Open();
  }
  int Put(const Bytes& key, const Bytes& value) {
    return ku.Put(key, value.empty() ? nullptr : value.data(), static_cast<std::uint32_t>(value.size()));
  }
  int Put(const std::string& key, const std::string& value) { return Put(B(key), B(value)); }
  // The stored value, or nullopt-like "<absent>" marker via found flag.
  Bytes Get(const Bytes& key, int* rc = nullptr) {
    Bytes v;
    int r = ku.GetValue(key, &v);
    if (rc) *rc = r;
    return v;
  }
  Bytes Get(const std::string& key, int* rc = nullptr) { return Get(B(key), rc); }
  void ExpectCheckPasses() {
    StoreCheckReport r = CheckStore(ku);
    EXPECT_TRUE(r.ok) << r.fault;
  }
};

}  // namespace testing
}  // namespace vellumo
