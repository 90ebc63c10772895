// Item model benchmark: the item operations on Ku against the same work as
// SQLite statements, in the same run.
//
//   create/<engine>   4,096 items created in one note (title, ~300-character
//                     content)
//   list/<engine>     the note's items in title order, with their titles
//   update/<engine>   1,000 titles changed (the order index follows)
//   delete/<engine>   every item deleted
//
// Each SQLite statement runs on its own (autocommit), as each item operation
// is its own locked call on Ku; WAL with synchronous=OFF, as in store_bench.
// Stores live in fresh directories under /tmp, removed afterwards.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "model/item_operations.h"
#include "model/items.h"
#include "model/notes.h"
#include "store/ku.h"

namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kItems = 4096;
constexpr std::uint32_t kUpdates = 1000;

std::u16string Title(std::uint32_t i, std::uint32_t generation) {
  // Titles in an order unrelated to creation order.
  const std::uint32_t mixed = (i * 2654435761u) >> 8;
  std::string s = "Item " + std::to_string(mixed % 100000) + " v" + std::to_string(generation);
  return std::u16string(s.begin(), s.end());
}

std::u16string Content(std::uint32_t i) {
  std::u16string c = u"<run>C:\\Program Files\\Tool\\tool.exe<> ";
  while (c.size() < 300) c += u"notes and reminders " + std::u16string(1, static_cast<char16_t>(u'a' + i % 26));
  return c;
}

fs::path FreshDir(const char* name) {
  static int counter = 0;
  fs::path dir = fs::temp_directory_path() /
                 ("vellumo-model-bench-" + std::to_string(::getpid()) + "-" + name + "-" + std::to_string(counter++));
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

struct SilentNotifier : vellumo::model::ModelNotifier {
  void ShowMessage(std::u16string_view, std::u16string_view) override {}
};

class KuModel {
 public:
  static constexpr const char* kName = "ku";
  explicit KuModel(const fs::path& dir) {
    const auto r = db_.OpenFiles(dir / "bench.ku", dir / "bench.hs");
    ok_ = r == vellumo::OpenResult::Created || r == vellumo::OpenResult::Opened;
    if (ok_) note_ = vellumo::model::CreateNote(db_, u"bench");
    ok_ = ok_ && note_ != 0;
  }
  bool ok() const { return ok_; }
  bool Create(std::uint32_t i) {
    const std::uint32_t id = ops_.CreateItem(note_, Title(i, 0), Content(i), false);
    if (id != 0) ids_.push_back(id);
    return id != 0;
  }
  std::size_t List(std::size_t* titleChars) {
    const auto ids = vellumo::model::ListItems(db_, note_);
    for (std::uint32_t id : ids) *titleChars += vellumo::model::GetItemTitle(db_, note_, id).size();
    return ids.size();
  }
  bool Update(std::uint32_t i) {
    const std::uint32_t id = ids_[i % ids_.size()];
    return ops_.UpdateItem(note_, id, Title(i, 1), Content(i)) == 0;
  }
  bool DeleteAll() {
    for (std::uint32_t id : ids_) {
      if (ops_.DeleteItem(note_, id, false) != 0) return false;
    }
    ids_.clear();
    return true;
  }

 private:
  vellumo::Ku db_;
  SilentNotifier notifier_;
  vellumo::model::ItemSyncHooks sync_;
  vellumo::model::AppMutex appMutex_;
  vellumo::model::ItemOperations ops_{db_, notifier_, sync_, appMutex_};
  std::uint32_t note_ = 0;
  std::vector<std::uint32_t> ids_;
  bool ok_ = false;
};

struct StmtFree {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Stmt = std::unique_ptr<sqlite3_stmt, StmtFree>;
struct DbClose {
  void operator()(sqlite3* d) const { sqlite3_close(d); }
};

class SqliteModel {
 public:
  static constexpr const char* kName = "sqlite";
  explicit SqliteModel(const fs::path& dir) {
    sqlite3* raw = nullptr;
    ok_ = sqlite3_open((dir / "bench.db").c_str(), &raw) == SQLITE_OK;
    db_.reset(raw);
    ok_ = ok_ && Exec("PRAGMA journal_mode=WAL") && Exec("PRAGMA synchronous=OFF") &&
          Exec("CREATE TABLE items(note INTEGER, id INTEGER, title TEXT, content TEXT, PRIMARY KEY(note, id))") &&
          Exec("CREATE INDEX items_title ON items(note, title COLLATE NOCASE, id)");
    ok_ = ok_ && Prepare("INSERT INTO items VALUES(1, ?, ?, ?)", insert_) &&
          Prepare("SELECT id, title FROM items WHERE note = 1 ORDER BY title COLLATE NOCASE, id", list_) &&
          Prepare("UPDATE items SET title = ?, content = ? WHERE note = 1 AND id = ?", update_) &&
          Prepare("DELETE FROM items WHERE note = 1 AND id = ?", delete_);
  }
  bool ok() const { return ok_; }
  bool Create(std::uint32_t i) {
    const std::u16string t = Title(i, 0), c = Content(i);
    sqlite3_bind_int64(insert_.get(), 1, i + 1);
    sqlite3_bind_text16(insert_.get(), 2, t.data(), static_cast<int>(2 * t.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text16(insert_.get(), 3, c.data(), static_cast<int>(2 * c.size()), SQLITE_TRANSIENT);
    return Step(insert_);
  }
  std::size_t List(std::size_t* titleChars) {
    std::size_t n = 0;
    while (sqlite3_step(list_.get()) == SQLITE_ROW) {
      *titleChars += static_cast<std::size_t>(sqlite3_column_bytes16(list_.get(), 1)) / 2;
      ++n;
    }
    sqlite3_reset(list_.get());
    return n;
  }
  bool Update(std::uint32_t i) {
    const std::u16string t = Title(i, 1), c = Content(i);
    sqlite3_bind_text16(update_.get(), 1, t.data(), static_cast<int>(2 * t.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text16(update_.get(), 2, c.data(), static_cast<int>(2 * c.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int64(update_.get(), 3, i % kItems + 1);
    return Step(update_);
  }
  bool DeleteAll() {
    for (std::uint32_t i = 0; i < kItems; ++i) {
      sqlite3_bind_int64(delete_.get(), 1, i + 1);
      if (!Step(delete_)) return false;
    }
    return true;
  }

 private:
  bool Exec(const char* sql) { return sqlite3_exec(db_.get(), sql, nullptr, nullptr, nullptr) == SQLITE_OK; }
  bool Prepare(const char* sql, Stmt& out) {
    sqlite3_stmt* s = nullptr;
    const bool ok = sqlite3_prepare_v2(db_.get(), sql, -1, &s, nullptr) == SQLITE_OK;
    out.reset(s);
    return ok;
  }
  static bool Step(Stmt& s) {
    const bool ok = sqlite3_step(s.get()) == SQLITE_DONE;
    sqlite3_reset(s.get());
    return ok;
  }

  std::unique_ptr<sqlite3, DbClose> db_;
  Stmt insert_, list_, update_, delete_;
  bool ok_ = false;
};

enum class Phase { kCreate, kList, kUpdate, kDelete };

// Every iteration starts from a fresh store; the phases before the measured
// one run untimed.
template <typename Model>
void BM_Phase(benchmark::State& state, Phase phase) {
  std::size_t titleChars = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const fs::path dir = FreshDir(Model::kName);
    bool ok = true;
    {
      auto m = std::make_unique<Model>(dir);
      ok = m->ok();
      if (phase != Phase::kCreate) {
        for (std::uint32_t i = 0; i < kItems && ok; ++i) ok = m->Create(i);
      }
      if (phase == Phase::kDelete) {
        for (std::uint32_t i = 0; i < kUpdates && ok; ++i) ok = m->Update(i);
      }
      state.ResumeTiming();
      switch (phase) {
        case Phase::kCreate:
          for (std::uint32_t i = 0; i < kItems && ok; ++i) ok = m->Create(i);
          break;
        case Phase::kList:
          ok = ok && m->List(&titleChars) == kItems;
          break;
        case Phase::kUpdate:
          for (std::uint32_t i = 0; i < kUpdates && ok; ++i) ok = m->Update(i);
          break;
        case Phase::kDelete:
          ok = ok && m->DeleteAll();
          break;
      }
      state.PauseTiming();
    }
    fs::remove_all(dir);
    state.ResumeTiming();
    if (!ok) {
      state.SkipWithError("model operation failed");
      break;
    }
  }
  benchmark::DoNotOptimize(titleChars);
}

template <typename Model>
void Register() {
  const std::pair<const char*, Phase> phases[] = {
      {"create", Phase::kCreate}, {"list", Phase::kList}, {"update", Phase::kUpdate}, {"delete", Phase::kDelete}};
  for (const auto& [name, phase] : phases) {
    benchmark::RegisterBenchmark((std::string(name) + "/" + Model::kName).c_str(), BM_Phase<Model>, phase)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
  }
}

}  // namespace

int main(int argc, char** argv) {
  Register<KuModel>();
  Register<SqliteModel>();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
