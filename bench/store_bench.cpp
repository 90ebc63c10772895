// Data store benchmark: Ku against LMDB and SQLite on the workloads the
// application produces.  Every engine works in its own fresh directory under
// /tmp, removed when the run ends.  All inputs come from fixed-seed
// generators, so every run sees the same keys, values and orders.
//
//   insert   100,000 puts of item-field keys [02][note u32 LE][field][item u32 LE]
//            (24 notes x 4,096 items + 1 note x 1,696 items, one field byte),
//            values of 40..200 bytes, in a shuffled order, into an empty store;
//            reports the store's size afterwards (file_bytes)
//   get      100,000 point gets of those keys in a shuffled order
//   scan     an ordered walk over one note's 4,096 keys, copying every value
//   bigput   1,000 puts of 30 KiB values into an empty store
//   counter  100,000 add-one steps on one 4-byte little-endian counter
//
// One operation is one transaction: a write transaction per put for LMDB, an
// autocommit statement per put for SQLite (the counter: one transaction
// around a read and a write), a locked call for Ku.
#include <benchmark/benchmark.h>
#include <lmdb.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "platform/bytes.h"
#include "store/ku.h"
#include "store/store_check.h"
#include "store/trie_format.h"

namespace {

namespace fs = std::filesystem;
using vellumo::Ku;

// ---------------------------------------------------------------------------
// Inputs

constexpr std::uint32_t kKeyBytes = 10;
constexpr std::uint32_t kInsertCount = 100000;
constexpr std::uint32_t kItemsPerNote = 4096;
constexpr std::uint32_t kNotes = 25;
constexpr std::uint32_t kFirstNote = 1;
constexpr std::uint8_t kFieldByte = 3;
constexpr std::uint32_t kScanNote = kFirstNote + 7;
constexpr std::uint32_t kBigCount = 1000;
constexpr std::uint32_t kBigValue = 30 * 1024;
constexpr std::uint32_t kBigNote = 900;
constexpr std::uint32_t kCounterSteps = 100000;
constexpr std::uint32_t kMaxValue = 65535;

// SplitMix64: the same sequence on every platform and library.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  std::uint32_t Below(std::uint32_t n) { return static_cast<std::uint32_t>(Next() % n); }

 private:
  std::uint64_t state_;
};

template <typename T>
void Shuffle(std::vector<T>& v, Rng& rng) {
  for (std::size_t i = v.size(); i > 1; --i) std::swap(v[i - 1], v[rng.Below(static_cast<std::uint32_t>(i))]);
}

struct Key {
  std::uint8_t b[kKeyBytes];
};

Key ItemKey(std::uint32_t note, std::uint8_t field, std::uint32_t item) {
  Key k{};
  k.b[0] = 0x02;
  vellumo::StoreU32LE(&k.b[1], note);
  k.b[5] = field;
  vellumo::StoreU32LE(&k.b[6], item);
  return k;
}

struct Inputs {
  std::vector<Key> keys;  // in insertion (shuffled) order
  std::vector<std::uint32_t> valueOffset;
  std::vector<std::uint32_t> valueLength;
  std::vector<std::uint8_t> valueBytes;
  std::vector<std::uint32_t> getOrder;  // indices into keys
  std::uint64_t expectedGetBytes = 0;
  std::uint32_t scanNoteValueBytes = 0;
  std::vector<std::uint8_t> bigPool;  // 30 KiB values are windows into it

  Inputs() {
    Rng rng(0x5EED0001);
    for (std::uint32_t n = 0; n < kNotes; ++n) {
      const std::uint32_t items = n + 1 < kNotes ? kItemsPerNote : kInsertCount - (kNotes - 1) * kItemsPerNote;
      for (std::uint32_t i = 0; i < items; ++i) keys.push_back(ItemKey(kFirstNote + n, kFieldByte, i));
    }
    Shuffle(keys, rng);
    for (const Key& k : keys) {
      const std::uint32_t length = 40 + rng.Below(161);
      valueOffset.push_back(static_cast<std::uint32_t>(valueBytes.size()));
      valueLength.push_back(length);
      for (std::uint32_t i = 0; i < length; ++i) valueBytes.push_back(static_cast<std::uint8_t>(rng.Next()));
      if (vellumo::LoadU32LE(&k.b[1]) == kScanNote) scanNoteValueBytes += length;
    }
    getOrder.resize(keys.size());
    for (std::uint32_t i = 0; i < getOrder.size(); ++i) getOrder[i] = i;
    Rng getRng(0x5EED0002);
    Shuffle(getOrder, getRng);
    for (std::uint32_t i : getOrder) expectedGetBytes += valueLength[i];
    Rng bigRng(0x5EED0003);
    bigPool.resize(256 * 1024);
    for (auto& b : bigPool) b = static_cast<std::uint8_t>(bigRng.Next());
  }
  const std::uint8_t* Value(std::uint32_t i) const { return &valueBytes[valueOffset[i]]; }
  const std::uint8_t* BigValue(std::uint32_t i) const {
    return &bigPool[(i * 4099u) % (bigPool.size() - kBigValue)];
  }
};

const Inputs& In() {
  static const Inputs inputs;
  return inputs;
}

// ---------------------------------------------------------------------------
// Temporary directories

fs::path& RunRoot() {
  static fs::path root;
  return root;
}

fs::path FreshDir(const char* engine) {
  static std::uint32_t serial = 0;
  fs::path dir = RunRoot() / (std::string(engine) + "-" + std::to_string(++serial));
  fs::create_directories(dir);
  return dir;
}

void RemoveDir(const fs::path& dir) {
  std::error_code ec;
  fs::remove_all(dir, ec);
}

// Apparent and allocated sizes of every file in a directory.
struct DirSize {
  std::uint64_t apparent = 0;
  std::uint64_t allocated = 0;
};

DirSize MeasureDir(const fs::path& dir) {
  DirSize s;
  for (const auto& e : fs::directory_iterator(dir)) {
    struct stat st {};
    if (::stat(e.path().c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    s.apparent += static_cast<std::uint64_t>(st.st_size);
    s.allocated += static_cast<std::uint64_t>(st.st_blocks) * 512u;
  }
  return s;
}

std::uint64_t FileBytes(const fs::path& p) {
  std::error_code ec;
  const auto n = fs::file_size(p, ec);
  return ec ? 0 : static_cast<std::uint64_t>(n);
}

// The smallest key greater than every key starting with `prefix`.
std::vector<std::uint8_t> PrefixEnd(const std::uint8_t* prefix, std::size_t length) {
  std::vector<std::uint8_t> end(prefix, prefix + length);
  while (!end.empty()) {
    if (++end.back() != 0) break;
    end.pop_back();
  }
  return end;
}

// What a scan saw: value copies land in `buffer`.
struct ScanResult {
  std::uint32_t count = 0;
  std::uint64_t valueBytes = 0;
  bool ordered = true;
  std::uint8_t last[kKeyBytes] = {};
};

void NoteScanned(ScanResult* r, const std::uint8_t* key, std::uint32_t keyLength, std::uint32_t valueLength,
                 bool checkOrder) {
  if (checkOrder && keyLength == kKeyBytes) {
    if (r->count > 0 && std::memcmp(r->last, key, kKeyBytes) >= 0) r->ordered = false;
    std::memcpy(r->last, key, kKeyBytes);
  }
  ++r->count;
  r->valueBytes += valueLength;
}

// ---------------------------------------------------------------------------
// Engines

// Sizes of a store after the insert workload.
struct StoreSize {
  std::uint64_t fileBytes = 0;  // see each engine
  std::uint64_t usedBytes = 0;  // the part of the files the store actually uses
};

class KuEngine {
 public:
  static constexpr const char* kName = "ku";

  bool Open(const fs::path& dir) {
    dir_ = dir;
    const vellumo::OpenResult r = ku_.OpenFiles(dir / "bench.ku", dir / "bench.hs");
    return r == vellumo::OpenResult::Created || r == vellumo::OpenResult::Opened;
  }
  void Close() { ku_.Close(); }

  bool Put(const Key& k, const std::uint8_t* v, std::uint32_t length) {
    return ku_.Put(std::span<const std::uint8_t>(k.b, kKeyBytes), v, length) == 0;
  }
  bool Get(const Key& k, std::uint8_t* buffer, std::uint32_t* length) {
    *length = kMaxValue;
    return ku_.Get(std::span<const std::uint8_t>(k.b, kKeyBytes), buffer, length) == 0;
  }
  bool AddOne(const Key& k) {
    std::uint8_t step[4] = {1, 0, 0, 0};
    return ku_.PutIf(vellumo::PutIfMode::AddCounter, std::span<const std::uint8_t>(k.b, kKeyBytes), step, 4) == 0;
  }
  bool ScanPrefix(const std::uint8_t* prefix, std::uint32_t length, std::uint8_t* buffer, ScanResult* r,
                  bool checkOrder) {
    Context c{buffer, r, checkOrder, true};
    const int done = ku_.Scan(std::span<const std::uint8_t>(prefix, length), length + 1, kKeyBytes, &Visit, &c);
    return done == 1 && c.ok;
  }
  StoreSize Size() {
    // Files as they stand; the .ku file grows in steps, so its used part
    // (EndUnit) is reported too.
    StoreSize s;
    const std::uint64_t hs = ku_.FreeSpace().FileSize();
    s.fileBytes = ku_.KuFileSize() + hs;
    s.usedBytes = ku_.EndUnit() * vellumo::trie::kUnitSize + hs;
    return s;
  }
  // Compaction's copy: every key in key order into another store.
  bool CopyInto(KuEngine& target) { return ku_.CopyAllTo(target.ku_) == 0; }
  std::string Check() {
    const vellumo::StoreCheckReport report = vellumo::CheckStore(ku_);
    return report.ok ? std::string() : report.fault;
  }

 private:
  struct Context {
    std::uint8_t* buffer;
    ScanResult* result;
    bool checkOrder;
    bool ok;
  };
  static int Visit(const std::uint8_t* key, std::uint32_t keyLength, const std::uint8_t* valueHeader, void* context,
                   Ku& database) {
    auto* c = static_cast<Context*>(context);
    const vellumo::ScannedValue value(valueHeader, database);
    const std::uint32_t length = value.Length();
    if (value.Read(std::span<std::uint8_t>(c->buffer, length)) != 0) {
      c->ok = false;
      return 0;
    }
    benchmark::DoNotOptimize(c->buffer);
    NoteScanned(c->result, key, keyLength, length, c->checkOrder);
    return 1;
  }

  Ku ku_;
  fs::path dir_;
};

class LmdbEngine {
 public:
  static constexpr const char* kName = "lmdb";

  ~LmdbEngine() { Close(); }

  bool Open(const fs::path& dir) {
    dir_ = dir;
    if (mdb_env_create(&env_) != 0) return false;
    if (mdb_env_set_mapsize(env_, std::size_t{1} << 30) != 0) return false;
    if (mdb_env_open(env_, dir.c_str(), MDB_NOSYNC | MDB_WRITEMAP, 0644) != 0) return false;
    MDB_txn* txn = nullptr;
    if (mdb_txn_begin(env_, nullptr, 0, &txn) != 0) return false;
    if (mdb_dbi_open(txn, nullptr, 0, &dbi_) != 0) {
      mdb_txn_abort(txn);
      return false;
    }
    if (mdb_txn_commit(txn) != 0) return false;
    if (mdb_txn_begin(env_, nullptr, MDB_RDONLY, &read_) != 0) return false;
    mdb_txn_reset(read_);
    return true;
  }
  void Close() {
    if (read_) mdb_txn_abort(read_);
    read_ = nullptr;
    if (env_) mdb_env_close(env_);
    env_ = nullptr;
  }

  bool Put(const Key& k, const std::uint8_t* v, std::uint32_t length) {
    MDB_txn* txn = nullptr;
    if (mdb_txn_begin(env_, nullptr, 0, &txn) != 0) return false;
    MDB_val key{kKeyBytes, const_cast<std::uint8_t*>(k.b)};
    MDB_val value{length, const_cast<std::uint8_t*>(v)};
    if (mdb_put(txn, dbi_, &key, &value, 0) != 0) {
      mdb_txn_abort(txn);
      return false;
    }
    return mdb_txn_commit(txn) == 0;
  }
  bool Get(const Key& k, std::uint8_t* buffer, std::uint32_t* length) {
    if (mdb_txn_renew(read_) != 0) return false;
    MDB_val key{kKeyBytes, const_cast<std::uint8_t*>(k.b)};
    MDB_val value{};
    const int rc = mdb_get(read_, dbi_, &key, &value);
    if (rc == 0) {
      std::memcpy(buffer, value.mv_data, value.mv_size);
      *length = static_cast<std::uint32_t>(value.mv_size);
    }
    mdb_txn_reset(read_);
    return rc == 0;
  }
  bool AddOne(const Key& k) {
    MDB_txn* txn = nullptr;
    if (mdb_txn_begin(env_, nullptr, 0, &txn) != 0) return false;
    MDB_val key{kKeyBytes, const_cast<std::uint8_t*>(k.b)};
    MDB_val value{};
    std::uint8_t counter[4] = {};
    const int rc = mdb_get(txn, dbi_, &key, &value);
    if (rc == 0 && value.mv_size == 4) std::memcpy(counter, value.mv_data, 4);
    else if (rc != MDB_NOTFOUND) {
      mdb_txn_abort(txn);
      return false;
    }
    vellumo::StoreU32LE(counter, vellumo::LoadU32LE(counter) + 1);
    MDB_val fresh{4, counter};
    if (mdb_put(txn, dbi_, &key, &fresh, 0) != 0) {
      mdb_txn_abort(txn);
      return false;
    }
    return mdb_txn_commit(txn) == 0;
  }
  bool ScanPrefix(const std::uint8_t* prefix, std::uint32_t length, std::uint8_t* buffer, ScanResult* r,
                  bool checkOrder) {
    if (mdb_txn_renew(read_) != 0) return false;
    MDB_cursor* cursor = nullptr;
    bool ok = mdb_cursor_open(read_, dbi_, &cursor) == 0;
    MDB_val key{length, const_cast<std::uint8_t*>(prefix)};
    MDB_val value{};
    int rc = ok ? mdb_cursor_get(cursor, &key, &value, MDB_SET_RANGE) : MDB_NOTFOUND;
    while (ok && rc == 0) {
      if (key.mv_size < length || std::memcmp(key.mv_data, prefix, length) != 0) break;
      std::memcpy(buffer, value.mv_data, value.mv_size);
      benchmark::DoNotOptimize(buffer);
      NoteScanned(r, static_cast<const std::uint8_t*>(key.mv_data), static_cast<std::uint32_t>(key.mv_size),
                  static_cast<std::uint32_t>(value.mv_size), checkOrder);
      rc = mdb_cursor_get(cursor, &key, &value, MDB_NEXT);
    }
    if (rc != 0 && rc != MDB_NOTFOUND) ok = false;
    if (cursor) mdb_cursor_close(cursor);
    mdb_txn_reset(read_);
    return ok;
  }
  StoreSize Size() {
    // MDB_WRITEMAP extends data.mdb to the whole map size at once (sparse);
    // the size the file reaches without that is its page high-water mark.
    MDB_envinfo info{};
    MDB_stat stat{};
    mdb_env_info(env_, &info);
    mdb_env_stat(env_, &stat);
    StoreSize s;
    s.fileBytes = (static_cast<std::uint64_t>(info.me_last_pgno) + 1) * stat.ms_psize;
    s.usedBytes = s.fileBytes;
    return s;
  }
  std::string Check() { return {}; }

 private:
  MDB_env* env_ = nullptr;
  MDB_dbi dbi_ = 0;
  MDB_txn* read_ = nullptr;
  fs::path dir_;
};

class SqliteEngine {
 public:
  static constexpr const char* kName = "sqlite";

  ~SqliteEngine() { Close(); }

  bool Open(const fs::path& dir) {
    path_ = dir / "bench.db";
    if (sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK)
      return false;
    if (!Exec("PRAGMA journal_mode=WAL") || !Exec("PRAGMA synchronous=OFF") ||
        !Exec("CREATE TABLE IF NOT EXISTS t(k BLOB PRIMARY KEY, v BLOB) WITHOUT ROWID"))
      return false;
    return Prepare("INSERT OR REPLACE INTO t(k, v) VALUES(?1, ?2)", &put_) &&
           Prepare("SELECT v FROM t WHERE k = ?1", &get_) &&
           Prepare("SELECT k, v FROM t WHERE k >= ?1 AND k < ?2 ORDER BY k", &scan_) &&
           Prepare("BEGIN IMMEDIATE", &begin_) && Prepare("COMMIT", &commit_);
  }
  void Close() {
    for (sqlite3_stmt** s : {&put_, &get_, &scan_, &begin_, &commit_}) {
      sqlite3_finalize(*s);
      *s = nullptr;
    }
    if (db_) sqlite3_close(db_);
    db_ = nullptr;
  }

  bool Put(const Key& k, const std::uint8_t* v, std::uint32_t length) {
    sqlite3_bind_blob(put_, 1, k.b, kKeyBytes, SQLITE_STATIC);
    sqlite3_bind_blob(put_, 2, v, static_cast<int>(length), SQLITE_STATIC);
    const int rc = sqlite3_step(put_);
    sqlite3_reset(put_);
    return rc == SQLITE_DONE;
  }
  bool Get(const Key& k, std::uint8_t* buffer, std::uint32_t* length) {
    sqlite3_bind_blob(get_, 1, k.b, kKeyBytes, SQLITE_STATIC);
    const int rc = sqlite3_step(get_);
    if (rc == SQLITE_ROW) {
      const int n = sqlite3_column_bytes(get_, 0);
      std::memcpy(buffer, sqlite3_column_blob(get_, 0), static_cast<std::size_t>(n));
      *length = static_cast<std::uint32_t>(n);
    }
    sqlite3_reset(get_);
    return rc == SQLITE_ROW;
  }
  bool AddOne(const Key& k) {
    if (!StepDone(begin_)) return false;
    std::uint8_t counter[4] = {};
    sqlite3_bind_blob(get_, 1, k.b, kKeyBytes, SQLITE_STATIC);
    const int rc = sqlite3_step(get_);
    if (rc == SQLITE_ROW && sqlite3_column_bytes(get_, 0) == 4)
      std::memcpy(counter, sqlite3_column_blob(get_, 0), 4);
    sqlite3_reset(get_);
    bool ok = rc == SQLITE_ROW || rc == SQLITE_DONE;
    vellumo::StoreU32LE(counter, vellumo::LoadU32LE(counter) + 1);
    ok = ok && Put(k, counter, 4);
    return StepDone(commit_) && ok;
  }
  bool ScanPrefix(const std::uint8_t* prefix, std::uint32_t length, std::uint8_t* buffer, ScanResult* r,
                  bool checkOrder) {
    const std::vector<std::uint8_t> end = PrefixEnd(prefix, length);
    sqlite3_bind_blob(scan_, 1, prefix, static_cast<int>(length), SQLITE_STATIC);
    sqlite3_bind_blob(scan_, 2, end.data(), static_cast<int>(end.size()), SQLITE_STATIC);
    int rc;
    while ((rc = sqlite3_step(scan_)) == SQLITE_ROW) {
      const int n = sqlite3_column_bytes(scan_, 1);
      std::memcpy(buffer, sqlite3_column_blob(scan_, 1), static_cast<std::size_t>(n));
      benchmark::DoNotOptimize(buffer);
      NoteScanned(r, static_cast<const std::uint8_t*>(sqlite3_column_blob(scan_, 0)),
                  static_cast<std::uint32_t>(sqlite3_column_bytes(scan_, 0)), static_cast<std::uint32_t>(n),
                  checkOrder);
    }
    sqlite3_reset(scan_);
    return rc == SQLITE_DONE;
  }
  StoreSize Size() {
    // Database plus write-ahead log after a full checkpoint.
    sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
    StoreSize s;
    s.fileBytes = FileBytes(path_) + FileBytes(path_.string() + "-wal");
    s.usedBytes = s.fileBytes;
    return s;
  }
  std::string Check() { return {}; }

 private:
  bool Exec(const char* sql) { return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }
  bool Prepare(const char* sql, sqlite3_stmt** s) { return sqlite3_prepare_v2(db_, sql, -1, s, nullptr) == SQLITE_OK; }
  static bool StepDone(sqlite3_stmt* s) {
    const int rc = sqlite3_step(s);
    sqlite3_reset(s);
    return rc == SQLITE_DONE;
  }

  sqlite3* db_ = nullptr;
  sqlite3_stmt* put_ = nullptr;
  sqlite3_stmt* get_ = nullptr;
  sqlite3_stmt* scan_ = nullptr;
  sqlite3_stmt* begin_ = nullptr;
  sqlite3_stmt* commit_ = nullptr;
  fs::path path_;
};

// ---------------------------------------------------------------------------
// Shared populated stores for the read workloads: filled once per engine
// (outside any timing), kept open until the run ends.

template <typename Engine>
struct Populated {
  std::unique_ptr<Engine> engine;
  fs::path dir;
  bool ok = false;
};

template <typename Engine>
bool InsertAll(Engine& e) {
  const Inputs& in = In();
  for (std::uint32_t i = 0; i < in.keys.size(); ++i)
    if (!e.Put(in.keys[i], in.Value(i), in.valueLength[i])) return false;
  return true;
}

template <typename Engine>
Populated<Engine>& PopulatedSlot() {
  static Populated<Engine> p;
  return p;
}

template <typename Engine>
Populated<Engine>& PopulatedStore() {
  Populated<Engine>& p = PopulatedSlot<Engine>();
  if (!p.engine) {
    p.engine = std::make_unique<Engine>();
    p.dir = FreshDir(Engine::kName);
    p.ok = p.engine->Open(p.dir) && InsertAll(*p.engine);
  }
  return p;
}

template <typename Engine>
void ClosePopulated() {
  Populated<Engine>& p = PopulatedSlot<Engine>();
  if (!p.engine) return;
  p.engine->Close();
  p.engine.reset();
  RemoveDir(p.dir);
}

// ---------------------------------------------------------------------------
// Workloads

template <typename Engine>
void BM_Insert(benchmark::State& state) {
  StoreSize size;
  DirSize disk;
  bool first = true;
  for (auto _ : state) {
    state.PauseTiming();
    const fs::path dir = FreshDir(Engine::kName);
    auto e = std::make_unique<Engine>();
    if (!e->Open(dir)) {
      state.SkipWithError("open failed");
      break;
    }
    state.ResumeTiming();
    const bool ok = InsertAll(*e);
    state.PauseTiming();
    if (!ok) {
      state.SkipWithError("put failed");
      break;
    }
    size = e->Size();
    if (first) {
      const std::string fault = e->Check();
      if (!fault.empty()) {
        std::fprintf(stderr, "store check: %s\n", fault.c_str());
        state.SkipWithError("store check failed");
        break;
      }
      first = false;
    }
    e->Close();
    disk = MeasureDir(dir);
    RemoveDir(dir);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kInsertCount);
  state.counters["file_bytes"] = static_cast<double>(size.fileBytes);
  state.counters["used_bytes"] = static_cast<double>(size.usedBytes);
  state.counters["apparent_bytes"] = static_cast<double>(disk.apparent);
  state.counters["disk_bytes"] = static_cast<double>(disk.allocated);
}

template <typename Engine>
void BM_Get(benchmark::State& state) {
  const Inputs& in = In();
  Populated<Engine>& p = PopulatedStore<Engine>();
  if (!p.ok) {
    state.SkipWithError("populating failed");
    return;
  }
  std::vector<std::uint8_t> buffer(kMaxValue);
  for (auto _ : state) {
    std::uint64_t bytes = 0;
    for (std::uint32_t i : in.getOrder) {
      std::uint32_t length = 0;
      if (!p.engine->Get(in.keys[i], buffer.data(), &length)) {
        state.SkipWithError("get failed");
        return;
      }
      benchmark::DoNotOptimize(buffer.data());
      bytes += length;
    }
    if (bytes != in.expectedGetBytes) {
      state.SkipWithError("get returned wrong lengths");
      return;
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kInsertCount);
}

template <typename Engine>
void BM_Scan(benchmark::State& state) {
  const Inputs& in = In();
  Populated<Engine>& p = PopulatedStore<Engine>();
  if (!p.ok) {
    state.SkipWithError("populating failed");
    return;
  }
  std::uint8_t prefix[6] = {0x02, 0, 0, 0, 0, kFieldByte};
  vellumo::StoreU32LE(&prefix[1], kScanNote);
  std::vector<std::uint8_t> buffer(kMaxValue);
  {
    // Untimed check: every key of the note, in order, with its value bytes.
    ScanResult r;
    if (!p.engine->ScanPrefix(prefix, 5, buffer.data(), &r, true) || r.count != kItemsPerNote || !r.ordered ||
        r.valueBytes != in.scanNoteValueBytes) {
      state.SkipWithError("scan saw the wrong keys");
      return;
    }
  }
  for (auto _ : state) {
    ScanResult r;
    if (!p.engine->ScanPrefix(prefix, 5, buffer.data(), &r, false) || r.count != kItemsPerNote) {
      state.SkipWithError("scan failed");
      return;
    }
    benchmark::DoNotOptimize(r.valueBytes);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kItemsPerNote);
}

// The same scan on a compacted copy of the store: compaction writes every
// key in key order, so one note's nodes and values end up side by side.
void BM_ScanCompacted(benchmark::State& state) {
  Populated<KuEngine>& p = PopulatedStore<KuEngine>();
  static KuEngine compacted;
  static bool ready = false;
  if (!p.ok) {
    state.SkipWithError("populating failed");
    return;
  }
  if (!ready) {
    const fs::path dir = FreshDir("ku-compacted");
    if (!compacted.Open(dir) || !p.engine->CopyInto(compacted)) {
      state.SkipWithError("compaction failed");
      return;
    }
    ready = true;
  }
  std::uint8_t prefix[6] = {0x02, 0, 0, 0, 0, kFieldByte};
  vellumo::StoreU32LE(&prefix[1], kScanNote);
  std::vector<std::uint8_t> buffer(kMaxValue);
  for (auto _ : state) {
    ScanResult r;
    if (!compacted.ScanPrefix(prefix, 5, buffer.data(), &r, false) || r.count != kItemsPerNote) {
      state.SkipWithError("scan failed");
      return;
    }
    benchmark::DoNotOptimize(r.valueBytes);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kItemsPerNote);
}

template <typename Engine>
void BM_BigPut(benchmark::State& state) {
  const Inputs& in = In();
  for (auto _ : state) {
    state.PauseTiming();
    const fs::path dir = FreshDir(Engine::kName);
    auto e = std::make_unique<Engine>();
    if (!e->Open(dir)) {
      state.SkipWithError("open failed");
      break;
    }
    state.ResumeTiming();
    bool ok = true;
    for (std::uint32_t i = 0; i < kBigCount && ok; ++i)
      ok = e->Put(ItemKey(kBigNote, kFieldByte, i), in.BigValue(i), kBigValue);
    state.PauseTiming();
    if (!ok) {
      state.SkipWithError("put failed");
      break;
    }
    e->Close();
    RemoveDir(dir);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kBigCount);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kBigCount * kBigValue);
}

template <typename Engine>
void BM_Counter(benchmark::State& state) {
  const Key key = ItemKey(kBigNote + 1, 0x10, 0);
  for (auto _ : state) {
    state.PauseTiming();
    const fs::path dir = FreshDir(Engine::kName);
    auto e = std::make_unique<Engine>();
    if (!e->Open(dir)) {
      state.SkipWithError("open failed");
      break;
    }
    state.ResumeTiming();
    bool ok = true;
    for (std::uint32_t i = 0; i < kCounterSteps && ok; ++i) ok = e->AddOne(key);
    state.PauseTiming();
    std::uint8_t value[kMaxValue];
    std::uint32_t length = 0;
    if (!ok || !e->Get(key, value, &length) || length != 4 || vellumo::LoadU32LE(value) != kCounterSteps) {
      state.SkipWithError("counter failed");
      break;
    }
    e->Close();
    RemoveDir(dir);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kCounterSteps);
}

template <typename Engine>
void RegisterEngine(const char* workload) {
  const std::string name = std::string(workload) + "/" + Engine::kName;
  const std::string w = workload;
  benchmark::internal::Benchmark* b = nullptr;
  if (w == "insert") b = benchmark::RegisterBenchmark(name.c_str(), &BM_Insert<Engine>)->Iterations(3);
  if (w == "get") b = benchmark::RegisterBenchmark(name.c_str(), &BM_Get<Engine>)->Iterations(5);
  if (w == "scan") b = benchmark::RegisterBenchmark(name.c_str(), &BM_Scan<Engine>)->Iterations(300);
  if (w == "bigput") b = benchmark::RegisterBenchmark(name.c_str(), &BM_BigPut<Engine>)->Iterations(3);
  if (w == "counter") b = benchmark::RegisterBenchmark(name.c_str(), &BM_Counter<Engine>)->Iterations(3);
  if (b) b->Unit(w == "scan" ? benchmark::kMicrosecond : benchmark::kMillisecond);
}

}  // namespace

int main(int argc, char** argv) {
  char root[] = "/tmp/vellumo-store-bench-XXXXXX";
  if (::mkdtemp(root) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  RunRoot() = root;
  (void)In();  // generate the inputs before anything is timed

  for (const char* w : {"insert", "get", "scan", "bigput", "counter"}) {
    RegisterEngine<KuEngine>(w);
    RegisterEngine<LmdbEngine>(w);
    RegisterEngine<SqliteEngine>(w);
    if (std::string_view(w) == "scan")
      benchmark::RegisterBenchmark("scan-compacted/ku", &BM_ScanCompacted)->Iterations(300)->Unit(benchmark::kMicrosecond);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    RemoveDir(RunRoot());
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  ClosePopulated<KuEngine>();
  ClosePopulated<LmdbEngine>();
  ClosePopulated<SqliteEngine>();
  RemoveDir(RunRoot());
  return 0;
}
