#pragma once
// The embedded store: one SQLite file in the data directory.  WAL with
// synchronous=FULL, so a change is on disk before the call that made it
// returns and an acknowledged upload survives kill -9 and power loss.
#include <filesystem>
#include <memory>
#include <mutex>

#include "store.h"

struct sqlite3;
struct sqlite3_stmt;

namespace vellumo::syncd {

class SqliteStore final : public Store {
 public:
  // Opens or creates <dataDir>/vellumo-sync.sqlite3 (creating dataDir).
  // Throws StoreFailure.
  explicit SqliteStore(const std::filesystem::path& dataDir);
  ~SqliteStore() override;
  SqliteStore(const SqliteStore&) = delete;
  SqliteStore& operator=(const SqliteStore&) = delete;

  static constexpr const char* kFileName = "vellumo-sync.sqlite3";

  std::optional<StoredAccount> FindAccount(std::span<const std::uint8_t> syncId) override;
  std::optional<AccountId> CreateAccount(std::span<const std::uint8_t> syncId,
                                         const std::string& verifierHash) override;
  std::vector<ItemHashValue> ItemHashes(AccountId account) override;
  std::vector<ItemHashValue> Tombstones(AccountId account) override;
  bool HasItem(AccountId account, const ItemHashValue& hash) override;
  std::optional<Bytes> GetItem(AccountId account, const ItemHashValue& hash) override;
  bool PutItem(AccountId account, const ItemHashValue& hash, std::span<const std::uint8_t> sealed) override;
  bool DeleteItem(AccountId account, const ItemHashValue& hash) override;
  bool ClearTombstone(AccountId account, const ItemHashValue& hash) override;
  std::vector<AccountSummary> Accounts() override;

 private:
  struct DbCloser {
    void operator()(sqlite3* db) const noexcept;
  };
  struct StmtFinalizer {
    void operator()(sqlite3_stmt* stmt) const noexcept;
  };
  using Statement = std::unique_ptr<sqlite3_stmt, StmtFinalizer>;

  void Exec(const char* sql);
  Statement Prepare(const char* sql);
  [[noreturn]] void Fail(const char* what);
  std::vector<ItemHashValue> HashColumn(sqlite3_stmt* stmt, AccountId account);
  bool ChangeOne(sqlite3_stmt* stmt, AccountId account, const ItemHashValue& hash);

  std::mutex mutex_;
  std::unique_ptr<sqlite3, DbCloser> db_;
  Statement findAccount_, createAccount_, itemHashes_, tombstones_, hasItem_, getItem_, putItem_,
      deleteItem_, addTombstone_, clearTombstone_, accounts_;
};

}  // namespace vellumo::syncd
