#pragma once
// The shared store: PostgreSQL, for deployments where several server
// processes (on one or more machines) serve the same accounts.  Changes one
// process accepts reach the clients of the others through LISTEN/NOTIFY on
// the channel vellumo_sync: the notification names the account and hash,
// and the receiving processes read the item from the database.
//
// Store calls take a connection from a small pool (a libpq connection is
// used by one thread at a time); the change feed listens on one of its own.
#include <atomic>
#include <condition_variable>
#include <vector>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "open_store.h"
#include "store.h"

struct pg_conn;

namespace vellumo::syncd {

class PgStore final : public Store, public ChangeRelay {
 public:
  // Connects and creates the tables when missing.  Throws StoreFailure.
  explicit PgStore(std::string url, std::size_t poolSize = 8);
  ~PgStore() override;
  PgStore(const PgStore&) = delete;
  PgStore& operator=(const PgStore&) = delete;

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

  void ItemAdded(AccountId account, const ItemHashValue& hash) override;
  void ItemDeleted(AccountId account, const ItemHashValue& hash) override;

  // Empties every table: for tests that share one database.
  void EraseEverythingForTests();

  const std::string& url() const noexcept { return url_; }
  // Marks this process's notifications, which the feed skips.
  const std::string& origin() const noexcept { return origin_; }

 private:
  struct ConnCloser {
    void operator()(pg_conn* c) const noexcept;
  };
  using Connection = std::unique_ptr<pg_conn, ConnCloser>;
  class Result;
  class Lease;

  Connection Connect() const;
  void Notify(char kind, AccountId account, const ItemHashValue& hash);

  std::string url_;
  std::string origin_;
  const std::size_t poolSize_;
  std::mutex poolMutex_;
  std::condition_variable poolReady_;
  std::vector<Connection> idle_;
  std::size_t opened_ = 0;
};

// Listens on its own connection and replays other processes' changes into
// the hub.
class PgChangeFeed final : public ChangeFeed {
 public:
  explicit PgChangeFeed(PgStore& store) : store_(store) {}
  ~PgChangeFeed() override { Detach(); }
  void Attach(Hub& hub) override;
  void Detach() override;

 private:
  void Listen(Hub& hub);

  PgStore& store_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace vellumo::syncd
