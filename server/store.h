#pragma once
// What the sync server keeps, behind one interface so that the embedded
// SQLite file and a shared PostgreSQL database are interchangeable.
//
// Per sync ID (an account): a slow, salted hash of the client's verifier
// (never the verifier itself: it is as good as the password for logging
// in), the items as ItemHash -> sealed ItemBlock, and tombstones of hashes
// that a client deleted.  The server cannot open a sealed block; it trusts
// the hash the uploading client gave.
//
// Every method either does all it says, durably, or throws StoreFailure and
// changes nothing.  A method returning means the change survives a crash of
// the process (and, as far as the back end can promise, of the machine).
// Stores are shared by all connection threads; implementations serialise
// what needs it.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "sync/item_block.h"

namespace vellumo::syncd {

using Bytes = std::vector<std::uint8_t>;
using sync::ItemHashValue;
using AccountId = std::int64_t;

class StoreFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct StoredAccount {
  AccountId id = 0;
  std::string verifierHash;  // libsodium crypto_pwhash_str form
};

// What the account listing shows: counts, nothing that identifies or opens.
struct AccountSummary {
  AccountId id = 0;
  std::int64_t createdUnix = 0;
  std::size_t items = 0;
  std::size_t tombstones = 0;
  std::size_t sealedBytes = 0;
};

class Store {
 public:
  virtual ~Store() = default;

  [[nodiscard]] virtual std::optional<StoredAccount> FindAccount(std::span<const std::uint8_t> syncId) = 0;
  // nullopt when the sync ID already has an account (another registration
  // got there first); the caller then checks against that one.
  [[nodiscard]] virtual std::optional<AccountId> CreateAccount(std::span<const std::uint8_t> syncId,
                                                               const std::string& verifierHash) = 0;

  [[nodiscard]] virtual std::vector<ItemHashValue> ItemHashes(AccountId account) = 0;
  [[nodiscard]] virtual std::vector<ItemHashValue> Tombstones(AccountId account) = 0;
  [[nodiscard]] virtual bool HasItem(AccountId account, const ItemHashValue& hash) = 0;
  [[nodiscard]] virtual std::optional<Bytes> GetItem(AccountId account, const ItemHashValue& hash) = 0;

  // Stores the item and lifts a tombstone of its hash.  True when the
  // account did not hold the hash before.
  virtual bool PutItem(AccountId account, const ItemHashValue& hash, std::span<const std::uint8_t> sealed) = 0;
  // Removes the item if present and tombstones the hash either way, so that a
  // client that was offline cannot bring it back.  True when it was present.
  virtual bool DeleteItem(AccountId account, const ItemHashValue& hash) = 0;
  // True when a tombstone was lifted.
  virtual bool ClearTombstone(AccountId account, const ItemHashValue& hash) = 0;

  [[nodiscard]] virtual std::vector<AccountSummary> Accounts() = 0;
};

}  // namespace vellumo::syncd
