#include "pg_store.h"

#include <libpq-fe.h>
#include <poll.h>

#include <chrono>
#include <algorithm>
#include <array>
#include <cstring>
#include <random>
#include <sstream>
#include <deque>
#include <vector>

#include "log.h"

namespace vellumo::syncd {

namespace {

constexpr const char* kChannel = "vellumo_sync";

std::int64_t NowUnix() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::string Hex(std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (const std::uint8_t b : bytes) {
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 15]);
  }
  return out;
}

bool FromHex(std::string_view text, ItemHashValue& hash) {
  if (text.size() != hash.size() * 2) return false;
  auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  for (std::size_t i = 0; i < hash.size(); ++i) {
    const int hi = nibble(text[2 * i]);
    const int lo = nibble(text[2 * i + 1]);
    if (hi < 0 || lo < 0) return false;
    hash[i] = static_cast<std::uint8_t>(hi << 4 | lo);
  }
  return true;
}

// Parameters for PQexecParams: text or binary values, kept alive here.
class Params {
 public:
  Params& Text(std::string value) {
    texts_.push_back(std::move(value));
    values_.push_back(nullptr);
    lengths_.push_back(0);
    formats_.push_back(0);
    return *this;
  }
  Params& Int(std::int64_t value) { return Text(std::to_string(value)); }
  Params& Blob(std::span<const std::uint8_t> bytes) {
    texts_.emplace_back(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    values_.push_back(nullptr);
    lengths_.push_back(static_cast<int>(bytes.size()));
    formats_.push_back(1);
    return *this;
  }
  int count() const { return static_cast<int>(texts_.size()); }
  const char* const* values() {
    for (std::size_t i = 0; i < texts_.size(); ++i) values_[i] = texts_[i].data();
    return values_.data();
  }
  const int* lengths() const { return lengths_.data(); }
  const int* formats() const { return formats_.data(); }

 private:
  std::deque<std::string> texts_;
  std::vector<const char*> values_;
  std::vector<int> lengths_;
  std::vector<int> formats_;
};

}  // namespace

class PgStore::Result {
 public:
  explicit Result(PGresult* r) : r_(r) {}
  ~Result() { PQclear(r_); }
  Result(const Result&) = delete;
  Result& operator=(const Result&) = delete;
  PGresult* get() const { return r_; }
  int rows() const { return PQntuples(r_); }
  std::span<const std::uint8_t> Bytes(int row, int col) const {
    return {reinterpret_cast<const std::uint8_t*>(PQgetvalue(r_, row, col)),
            static_cast<std::size_t>(PQgetlength(r_, row, col))};
  }

 private:
  PGresult* r_;
};

void PgStore::ConnCloser::operator()(pg_conn* c) const noexcept { PQfinish(c); }

PgStore::Connection PgStore::Connect() const {
  Connection c(PQconnectdb(url_.c_str()));
  if (!c || PQstatus(c.get()) != CONNECTION_OK) {
    throw StoreFailure(std::string("postgres: ") + (c ? PQerrorMessage(c.get()) : "out of memory"));
  }
  return c;
}

namespace {

// Runs one statement (binary results); throws on failure.  A connection that
// was lost is re-established once before giving up.
PGresult* Exec(pg_conn* conn, const char* sql, Params& p) {
  PGresult* r = PQexecParams(conn, sql, p.count(), nullptr, p.values(), p.lengths(), p.formats(), 1);
  const auto status = PQresultStatus(r);
  if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return r;
  std::string message = std::string("postgres: ") + PQerrorMessage(conn);
  PQclear(r);
  if (PQstatus(conn) != CONNECTION_OK) PQreset(conn);
  throw StoreFailure(message);
}

}  // namespace

class PgStore::Lease {
 public:
  explicit Lease(PgStore& store) : store_(store) {
    std::unique_lock lock(store_.poolMutex_);
    store_.poolReady_.wait(lock, [&] { return !store_.idle_.empty() || store_.opened_ < store_.poolSize_; });
    if (!store_.idle_.empty()) {
      conn_ = std::move(store_.idle_.back());
      store_.idle_.pop_back();
      return;
    }
    ++store_.opened_;
    lock.unlock();
    try {
      conn_ = store_.Connect();
    } catch (...) {
      lock.lock();
      --store_.opened_;
      store_.poolReady_.notify_one();
      throw;
    }
  }
  ~Lease() {
    std::lock_guard lock(store_.poolMutex_);
    store_.idle_.push_back(std::move(conn_));
    store_.poolReady_.notify_one();
  }
  Lease(const Lease&) = delete;
  Lease& operator=(const Lease&) = delete;
  pg_conn* get() const { return conn_.get(); }

 private:
  PgStore& store_;
  Connection conn_;
};

PgStore::PgStore(std::string url, std::size_t poolSize)
    : url_(std::move(url)), poolSize_(std::max<std::size_t>(1, poolSize)) {
  std::array<std::uint8_t, 8> token{};
  std::random_device random;
  for (auto& b : token) b = static_cast<std::uint8_t>(random());
  origin_ = Hex(token);
  Lease lease(*this);
  // Several statements: the simple query protocol, without parameters.
  Result r(PQexec(lease.get(),
                "SET client_min_messages = warning;"
                "CREATE TABLE IF NOT EXISTS accounts ("
                " id BIGSERIAL PRIMARY KEY,"
                " sync_id BYTEA NOT NULL UNIQUE,"
                " verifier_hash TEXT NOT NULL,"
                " created BIGINT NOT NULL);"
                "CREATE TABLE IF NOT EXISTS items ("
                " account BIGINT NOT NULL REFERENCES accounts(id),"
                " hash BYTEA NOT NULL,"
                " sealed BYTEA NOT NULL,"
                " PRIMARY KEY (account, hash));"
                "CREATE TABLE IF NOT EXISTS tombstones ("
                " account BIGINT NOT NULL REFERENCES accounts(id),"
                " hash BYTEA NOT NULL,"
                " deleted BIGINT NOT NULL,"
                " PRIMARY KEY (account, hash));"));
  if (PQresultStatus(r.get()) != PGRES_COMMAND_OK) {
    throw StoreFailure(std::string("postgres: ") + PQerrorMessage(lease.get()));
  }
}

PgStore::~PgStore() = default;


void PgStore::EraseEverythingForTests() {
  Lease lease(*this);
  Params none;
  Result r(Exec(lease.get(), "TRUNCATE items, tombstones, accounts RESTART IDENTITY", none));
}

std::optional<StoredAccount> PgStore::FindAccount(std::span<const std::uint8_t> syncId) {
  Lease lease(*this);
  Params p;
  p.Blob(syncId);
  Result r(Exec(lease.get(), "SELECT id::text, verifier_hash FROM accounts WHERE sync_id = $1", p));
  if (r.rows() == 0) return std::nullopt;
  const auto id = r.Bytes(0, 0);
  const auto hash = r.Bytes(0, 1);
  return StoredAccount{std::stoll(std::string(id.begin(), id.end())), std::string(hash.begin(), hash.end())};
}

std::optional<AccountId> PgStore::CreateAccount(std::span<const std::uint8_t> syncId,
                                                const std::string& verifierHash) {
  Lease lease(*this);
  Params p;
  p.Blob(syncId).Text(verifierHash).Int(NowUnix());
  Result r(Exec(lease.get(),
                "INSERT INTO accounts (sync_id, verifier_hash, created) VALUES ($1, $2, $3)"
                " ON CONFLICT DO NOTHING RETURNING id::text",
                p));
  if (r.rows() == 0) return std::nullopt;
  const auto id = r.Bytes(0, 0);
  return std::stoll(std::string(id.begin(), id.end()));
}

namespace {
std::vector<ItemHashValue> Hashes(PGresult* r) {
  std::vector<ItemHashValue> out;
  for (int i = 0; i < PQntuples(r); ++i) {
    ItemHashValue h{};
    if (static_cast<std::size_t>(PQgetlength(r, i, 0)) == h.size()) std::memcpy(h.data(), PQgetvalue(r, i, 0), h.size());
    out.push_back(h);
  }
  return out;
}
}  // namespace

std::vector<ItemHashValue> PgStore::ItemHashes(AccountId account) {
  Lease lease(*this);
  Params p;
  p.Int(account);
  Result r(Exec(lease.get(), "SELECT hash FROM items WHERE account = $1 ORDER BY hash", p));
  return Hashes(r.get());
}

std::vector<ItemHashValue> PgStore::Tombstones(AccountId account) {
  Lease lease(*this);
  Params p;
  p.Int(account);
  Result r(Exec(lease.get(), "SELECT hash FROM tombstones WHERE account = $1 ORDER BY hash", p));
  return Hashes(r.get());
}

bool PgStore::HasItem(AccountId account, const ItemHashValue& hash) {
  Lease lease(*this);
  Params p;
  p.Int(account).Blob(hash);
  Result r(Exec(lease.get(), "SELECT 1 FROM items WHERE account = $1 AND hash = $2", p));
  return r.rows() > 0;
}

std::optional<Bytes> PgStore::GetItem(AccountId account, const ItemHashValue& hash) {
  Lease lease(*this);
  Params p;
  p.Int(account).Blob(hash);
  Result r(Exec(lease.get(), "SELECT sealed FROM items WHERE account = $1 AND hash = $2", p));
  if (r.rows() == 0) return std::nullopt;
  const auto b = r.Bytes(0, 0);
  return syncd::Bytes(b.begin(), b.end());
}

bool PgStore::PutItem(AccountId account, const ItemHashValue& hash, std::span<const std::uint8_t> sealed) {
  Lease lease(*this);
  Params p;
  p.Int(account).Blob(hash).Blob(sealed);
  // One statement, one transaction: the insert and the lifted tombstone.
  Result r(Exec(lease.get(),
                "WITH lifted AS (DELETE FROM tombstones WHERE account = $1 AND hash = $2)"
                " INSERT INTO items (account, hash, sealed) VALUES ($1, $2, $3)"
                " ON CONFLICT DO NOTHING RETURNING 1",
                p));
  return r.rows() > 0;
}

bool PgStore::DeleteItem(AccountId account, const ItemHashValue& hash) {
  Lease lease(*this);
  Params p;
  p.Int(account).Blob(hash).Int(NowUnix());
  Result r(Exec(lease.get(),
                "WITH removed AS (DELETE FROM items WHERE account = $1 AND hash = $2 RETURNING 1),"
                " stone AS (INSERT INTO tombstones (account, hash, deleted) VALUES ($1, $2, $3)"
                " ON CONFLICT DO NOTHING)"
                " SELECT count(*)::text FROM removed",
                p));
  const auto n = r.Bytes(0, 0);
  return std::string(n.begin(), n.end()) != "0";
}

bool PgStore::ClearTombstone(AccountId account, const ItemHashValue& hash) {
  Lease lease(*this);
  Params p;
  p.Int(account).Blob(hash);
  Result r(Exec(lease.get(), "DELETE FROM tombstones WHERE account = $1 AND hash = $2 RETURNING 1", p));
  return r.rows() > 0;
}

std::vector<AccountSummary> PgStore::Accounts() {
  Lease lease(*this);
  Params none;
  Result r(Exec(lease.get(),
                "SELECT a.id::text, a.created::text,"
                " (SELECT count(*) FROM items i WHERE i.account = a.id)::text,"
                " (SELECT coalesce(sum(length(i.sealed)), 0) FROM items i WHERE i.account = a.id)::text,"
                " (SELECT count(*) FROM tombstones t WHERE t.account = a.id)::text"
                " FROM accounts a ORDER BY a.id",
                none));
  std::vector<AccountSummary> out;
  auto num = [&](int row, int col) {
    const auto b = r.Bytes(row, col);
    return std::stoll(std::string(b.begin(), b.end()));
  };
  for (int i = 0; i < r.rows(); ++i) {
    AccountSummary a;
    a.id = num(i, 0);
    a.createdUnix = num(i, 1);
    a.items = static_cast<std::size_t>(num(i, 2));
    a.sealedBytes = static_cast<std::size_t>(num(i, 3));
    a.tombstones = static_cast<std::size_t>(num(i, 4));
    out.push_back(a);
  }
  return out;
}

void PgStore::Notify(char kind, AccountId account, const ItemHashValue& hash) {
  Lease lease(*this);
  Params p;
  p.Text(origin_ + " " + std::string(1, kind) + " " + std::to_string(account) + " " + Hex(hash));
  try {
    Result r(Exec(lease.get(), "SELECT pg_notify('vellumo_sync', $1)", p));
  } catch (const StoreFailure& e) {
    // The change is stored; the other processes' clients catch up at their
    // next list.
    Log(LogLevel::kWarning, e.what());
  }
}

void PgStore::ItemAdded(AccountId account, const ItemHashValue& hash) { Notify('+', account, hash); }
void PgStore::ItemDeleted(AccountId account, const ItemHashValue& hash) { Notify('-', account, hash); }

void PgChangeFeed::Attach(Hub& hub) {
  hub.SetRelay(&store_);
  stop_ = false;
  thread_ = std::thread([this, &hub] { Listen(hub); });
}

void PgChangeFeed::Detach() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

void PgChangeFeed::Listen(Hub& hub) {
  while (!stop_) {
    std::unique_ptr<pg_conn, void (*)(pg_conn*)> conn(PQconnectdb(store_.url().c_str()), PQfinish);
    PGresult* listen = nullptr;
    if (PQstatus(conn.get()) == CONNECTION_OK) {
      listen = PQexec(conn.get(), (std::string("LISTEN ") + kChannel).c_str());
    }
    const bool listening = listen != nullptr && PQresultStatus(listen) == PGRES_COMMAND_OK;
    PQclear(listen);
    if (!listening) {
      Log(LogLevel::kWarning, std::string("postgres listener: ") + PQerrorMessage(conn.get()));
      for (int i = 0; i < 20 && !stop_; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
      continue;
    }
    while (!stop_ && PQstatus(conn.get()) == CONNECTION_OK) {
      pollfd p{PQsocket(conn.get()), POLLIN, 0};
      if (::poll(&p, 1, 200) < 0) break;
      if (PQconsumeInput(conn.get()) == 0) break;
      while (PGnotify* n = PQnotifies(conn.get())) {
        // "<origin> <+|-> <account> <hash in hex>"
        std::istringstream payload(n->extra);
        PQfreemem(n);
        std::string origin, kind, hex;
        AccountId account = 0;
        ItemHashValue hash{};
        if (!(payload >> origin >> kind >> account >> hex) || !FromHex(hex, hash)) continue;
        if (origin == store_.origin()) continue;  // ours: already pushed
        try {
          if (kind == "+") {
            if (const auto sealed = store_.GetItem(account, hash)) hub.PushItem(account, nullptr, hash, *sealed, true);
          } else if (kind == "-") {
            hub.PushDelete(account, nullptr, hash, true);
          }
        } catch (const std::exception& e) {
          Log(LogLevel::kWarning, std::string("postgres listener: ") + e.what());
        }
      }
    }
    if (!stop_) Log(LogLevel::kWarning, "postgres listener lost its connection; reconnecting");
  }
}

}  // namespace vellumo::syncd
