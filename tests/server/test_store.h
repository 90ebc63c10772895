#pragma once
// The store the server tests run against: the embedded SQLite store in a
// fresh directory, or, when VELLUMO_TEST_POSTGRES holds a connection URL
// (set by the PostgreSQL test script), a freshly emptied PostgreSQL schema.
#include <memory>
#include <string>

#include "open_store.h"
#include "support/temp_dir.h"

namespace vellumo::syncd::testing {

class TestStore {
 public:
  TestStore();
  Store& store() { return *opened_.store; }
  OpenedStore& opened() { return opened_; }
  [[nodiscard]] bool postgres() const { return !url_.empty(); }
  [[nodiscard]] const std::string& url() const { return url_; }
  [[nodiscard]] const vellumo::testing::TempDir& dir() const { return dir_; }

 private:
  vellumo::testing::TempDir dir_;
  std::string url_;
  OpenedStore opened_;
};

}  // namespace vellumo::syncd::testing
