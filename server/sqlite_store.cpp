#include "sqlite_store.h"

#include <sqlite3.h>

#include <chrono>
#include <cstring>
#include <string>
#include <system_error>

namespace vellumo::syncd {

namespace {

// Resets a statement however the call using it ends, so the next call finds
// it ready and no read transaction is left open.
class Use {
 public:
  explicit Use(sqlite3_stmt* stmt) noexcept : stmt_(stmt) {}
  ~Use() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
  Use(const Use&) = delete;
  Use& operator=(const Use&) = delete;

 private:
  sqlite3_stmt* stmt_;
};

std::int64_t NowUnix() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

ItemHashValue HashFrom(sqlite3_stmt* stmt, int column) {
  ItemHashValue hash{};
  const auto* blob = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt, column));
  if (blob != nullptr && sqlite3_column_bytes(stmt, column) == static_cast<int>(hash.size())) {
    std::memcpy(hash.data(), blob, hash.size());
  }
  return hash;
}

}  // namespace

void SqliteStore::DbCloser::operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
void SqliteStore::StmtFinalizer::operator()(sqlite3_stmt* stmt) const noexcept { sqlite3_finalize(stmt); }

SqliteStore::SqliteStore(const std::filesystem::path& dataDir) {
  std::error_code ec;
  std::filesystem::create_directories(dataDir, ec);
  if (ec) throw StoreFailure("cannot create data directory " + dataDir.string() + ": " + ec.message());
  const auto file = (dataDir / kFileName).string();
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(file.c_str(), &raw,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
  db_.reset(raw);
  if (rc != SQLITE_OK) Fail(("cannot open " + file).c_str());
  sqlite3_busy_timeout(db_.get(), 5000);
  Exec("PRAGMA journal_mode=WAL");
  Exec("PRAGMA synchronous=FULL");
  Exec("PRAGMA foreign_keys=ON");
  Exec(
      "CREATE TABLE IF NOT EXISTS accounts ("
      " id INTEGER PRIMARY KEY,"
      " sync_id BLOB NOT NULL UNIQUE,"
      " verifier_hash TEXT NOT NULL,"
      " created INTEGER NOT NULL);"
      "CREATE TABLE IF NOT EXISTS items ("
      " account INTEGER NOT NULL REFERENCES accounts(id),"
      " hash BLOB NOT NULL,"
      " sealed BLOB NOT NULL,"
      " PRIMARY KEY (account, hash)) WITHOUT ROWID;"
      "CREATE TABLE IF NOT EXISTS tombstones ("
      " account INTEGER NOT NULL REFERENCES accounts(id),"
      " hash BLOB NOT NULL,"
      " deleted INTEGER NOT NULL,"
      " PRIMARY KEY (account, hash)) WITHOUT ROWID;");
  findAccount_ = Prepare("SELECT id, verifier_hash FROM accounts WHERE sync_id = ?1");
  createAccount_ =
      Prepare("INSERT INTO accounts (sync_id, verifier_hash, created) VALUES (?1, ?2, ?3) ON CONFLICT DO NOTHING");
  itemHashes_ = Prepare("SELECT hash FROM items WHERE account = ?1");
  tombstones_ = Prepare("SELECT hash FROM tombstones WHERE account = ?1");
  hasItem_ = Prepare("SELECT 1 FROM items WHERE account = ?1 AND hash = ?2");
  getItem_ = Prepare("SELECT sealed FROM items WHERE account = ?1 AND hash = ?2");
  putItem_ = Prepare("INSERT INTO items (account, hash, sealed) VALUES (?1, ?2, ?3) ON CONFLICT DO NOTHING");
  deleteItem_ = Prepare("DELETE FROM items WHERE account = ?1 AND hash = ?2");
  addTombstone_ =
      Prepare("INSERT INTO tombstones (account, hash, deleted) VALUES (?1, ?2, ?3) ON CONFLICT DO NOTHING");
  clearTombstone_ = Prepare("DELETE FROM tombstones WHERE account = ?1 AND hash = ?2");
  accounts_ = Prepare(
      "SELECT a.id, a.created,"
      " (SELECT count(*) FROM items i WHERE i.account = a.id),"
      " (SELECT coalesce(sum(length(i.sealed)), 0) FROM items i WHERE i.account = a.id),"
      " (SELECT count(*) FROM tombstones t WHERE t.account = a.id)"
      " FROM accounts a ORDER BY a.id");
}

SqliteStore::~SqliteStore() {
  // Statements first: the connection only closes once they are finalized.
  for (auto* s : {&findAccount_, &createAccount_, &itemHashes_, &tombstones_, &hasItem_, &getItem_, &putItem_,
                  &deleteItem_, &addTombstone_, &clearTombstone_, &accounts_}) {
    s->reset();
  }
}

void SqliteStore::Fail(const char* what) {
  std::string message = what;
  if (db_) message += std::string(": ") + sqlite3_errmsg(db_.get());
  throw StoreFailure(message);
}

void SqliteStore::Exec(const char* sql) {
  char* error = nullptr;
  if (sqlite3_exec(db_.get(), sql, nullptr, nullptr, &error) != SQLITE_OK) {
    std::string message = std::string("sqlite: ") + (error != nullptr ? error : "failed");
    sqlite3_free(error);
    throw StoreFailure(message);
  }
}

SqliteStore::Statement SqliteStore::Prepare(const char* sql) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v3(db_.get(), sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) != SQLITE_OK) {
    Fail("prepare");
  }
  return Statement(stmt);
}

std::optional<StoredAccount> SqliteStore::FindAccount(std::span<const std::uint8_t> syncId) {
  std::lock_guard lock(mutex_);
  sqlite3_stmt* s = findAccount_.get();
  Use use(s);
  sqlite3_bind_blob(s, 1, syncId.data(), static_cast<int>(syncId.size()), SQLITE_TRANSIENT);
  const int rc = sqlite3_step(s);
  if (rc == SQLITE_DONE) return std::nullopt;
  if (rc != SQLITE_ROW) Fail("find account");
  StoredAccount account;
  account.id = sqlite3_column_int64(s, 0);
  const auto* text = sqlite3_column_text(s, 1);
  if (text != nullptr) account.verifierHash = reinterpret_cast<const char*>(text);
  return account;
}

std::optional<AccountId> SqliteStore::CreateAccount(std::span<const std::uint8_t> syncId,
                                                    const std::string& verifierHash) {
  std::lock_guard lock(mutex_);
  sqlite3_stmt* s = createAccount_.get();
  Use use(s);
  sqlite3_bind_blob(s, 1, syncId.data(), static_cast<int>(syncId.size()), SQLITE_TRANSIENT);
  sqlite3_bind_text(s, 2, verifierHash.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_int64(s, 3, NowUnix());
  if (sqlite3_step(s) != SQLITE_DONE) Fail("create account");
  if (sqlite3_changes(db_.get()) == 0) return std::nullopt;
  return sqlite3_last_insert_rowid(db_.get());
}

std::vector<ItemHashValue> SqliteStore::HashColumn(sqlite3_stmt* s, AccountId account) {
  std::lock_guard lock(mutex_);
  Use use(s);
  sqlite3_bind_int64(s, 1, account);
  std::vector<ItemHashValue> hashes;
  int rc = 0;
  while ((rc = sqlite3_step(s)) == SQLITE_ROW) hashes.push_back(HashFrom(s, 0));
  if (rc != SQLITE_DONE) Fail("list hashes");
  return hashes;
}

std::vector<ItemHashValue> SqliteStore::ItemHashes(AccountId account) {
  return HashColumn(itemHashes_.get(), account);
}

std::vector<ItemHashValue> SqliteStore::Tombstones(AccountId account) {
  return HashColumn(tombstones_.get(), account);
}

bool SqliteStore::HasItem(AccountId account, const ItemHashValue& hash) {
  std::lock_guard lock(mutex_);
  sqlite3_stmt* s = hasItem_.get();
  Use use(s);
  sqlite3_bind_int64(s, 1, account);
  sqlite3_bind_blob(s, 2, hash.data(), static_cast<int>(hash.size()), SQLITE_TRANSIENT);
  const int rc = sqlite3_step(s);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) Fail("has item");
  return rc == SQLITE_ROW;
}

std::optional<Bytes> SqliteStore::GetItem(AccountId account, const ItemHashValue& hash) {
  std::lock_guard lock(mutex_);
  sqlite3_stmt* s = getItem_.get();
  Use use(s);
  sqlite3_bind_int64(s, 1, account);
  sqlite3_bind_blob(s, 2, hash.data(), static_cast<int>(hash.size()), SQLITE_TRANSIENT);
  const int rc = sqlite3_step(s);
  if (rc == SQLITE_DONE) return std::nullopt;
  if (rc != SQLITE_ROW) Fail("get item");
  const auto* blob = static_cast<const std::uint8_t*>(sqlite3_column_blob(s, 0));
  const int size = sqlite3_column_bytes(s, 0);
  return Bytes(blob, blob + size);
}

bool SqliteStore::ChangeOne(sqlite3_stmt* s, AccountId account, const ItemHashValue& hash) {
  Use use(s);
  sqlite3_bind_int64(s, 1, account);
  sqlite3_bind_blob(s, 2, hash.data(), static_cast<int>(hash.size()), SQLITE_TRANSIENT);
  if (sqlite3_bind_parameter_count(s) >= 3) sqlite3_bind_int64(s, 3, NowUnix());
  if (sqlite3_step(s) != SQLITE_DONE) Fail("change");
  return sqlite3_changes(db_.get()) > 0;
}

bool SqliteStore::PutItem(AccountId account, const ItemHashValue& hash, std::span<const std::uint8_t> sealed) {
  std::lock_guard lock(mutex_);
  Exec("BEGIN IMMEDIATE");
  try {
    sqlite3_stmt* s = putItem_.get();
    bool added = false;
    {
      Use use(s);
      sqlite3_bind_int64(s, 1, account);
      sqlite3_bind_blob(s, 2, hash.data(), static_cast<int>(hash.size()), SQLITE_TRANSIENT);
      sqlite3_bind_blob(s, 3, sealed.data(), static_cast<int>(sealed.size()), SQLITE_TRANSIENT);
      if (sqlite3_step(s) != SQLITE_DONE) Fail("put item");
      added = sqlite3_changes(db_.get()) > 0;
    }
    ChangeOne(clearTombstone_.get(), account, hash);
    Exec("COMMIT");
    return added;
  } catch (...) {
    sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

bool SqliteStore::DeleteItem(AccountId account, const ItemHashValue& hash) {
  std::lock_guard lock(mutex_);
  Exec("BEGIN IMMEDIATE");
  try {
    const bool removed = ChangeOne(deleteItem_.get(), account, hash);
    ChangeOne(addTombstone_.get(), account, hash);
    Exec("COMMIT");
    return removed;
  } catch (...) {
    sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

bool SqliteStore::ClearTombstone(AccountId account, const ItemHashValue& hash) {
  std::lock_guard lock(mutex_);
  return ChangeOne(clearTombstone_.get(), account, hash);
}

std::vector<AccountSummary> SqliteStore::Accounts() {
  std::lock_guard lock(mutex_);
  sqlite3_stmt* s = accounts_.get();
  Use use(s);
  std::vector<AccountSummary> out;
  int rc = 0;
  while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
    AccountSummary a;
    a.id = sqlite3_column_int64(s, 0);
    a.createdUnix = sqlite3_column_int64(s, 1);
    a.items = static_cast<std::size_t>(sqlite3_column_int64(s, 2));
    a.sealedBytes = static_cast<std::size_t>(sqlite3_column_int64(s, 3));
    a.tombstones = static_cast<std::size_t>(sqlite3_column_int64(s, 4));
    out.push_back(a);
  }
  if (rc != SQLITE_DONE) Fail("list accounts");
  return out;
}

}  // namespace vellumo::syncd
