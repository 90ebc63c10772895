// The management window's content filter over 100 notes of 100 items of
// about 1 KB with no match (every content is read and compared), beside
// the database reads alone, to show where the time goes.  The Wine
// measurement (scripts/measure-management.sh) does ten times as many notes.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <mutex>

#include "manager/note_filter.h"
#include "model/item_operations.h"
#include "model/items.h"
#include "model/notes.h"
#include "store/ku.h"

namespace {

struct Quiet : vellumo::model::ModelNotifier {
  void ShowMessage(std::u16string_view, std::u16string_view) override {}
};

constexpr int kNotes = 100, kItems = 100;

vellumo::Ku& Database() {
  static std::unique_ptr<vellumo::Ku> db = [] {
    const auto dir = std::filesystem::temp_directory_path() / "vellumo-note-filter-bench";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    auto store = std::make_unique<vellumo::Ku>();
    (void)store->OpenFiles(dir / "db.ku", dir / "db.hs");
    Quiet quiet;
    vellumo::model::ItemSyncHooks sync;
    vellumo::model::AppMutex appMutex;
    vellumo::model::ItemOperations ops(*store, quiet, sync, appMutex);
    std::u16string filler;
    for (int i = 0; i < 500; ++i) filler.push_back(static_cast<char16_t>(u'一' + (i * 37) % 2000));
    for (int n = 0; n < kNotes; ++n) {
      const std::uint32_t note = vellumo::model::CreateNote(*store);
      for (int i = 0; i < kItems; ++i) (void)ops.CreateItem(note, u"项目", u"<v>" + filler, false);
    }
    return store;
  }();
  return *db;
}

void BM_ContentFilterNoMatch(benchmark::State& state) {
  vellumo::Ku& db = Database();
  const vellumo::manager::NoteFilter filter{vellumo::manager::FilterMode::Contents, u"zzzq"};
  for (auto _ : state) benchmark::DoNotOptimize(vellumo::manager::FilteredNotes(db, filter, true));
}
BENCHMARK(BM_ContentFilterNoMatch)->Unit(benchmark::kMillisecond);

void BM_ReadEveryContent(benchmark::State& state) {
  vellumo::Ku& db = Database();
  std::vector<std::uint32_t> items(4096);
  for (auto _ : state) {
    std::size_t units = 0;
    for (const std::uint32_t note : vellumo::model::ListNotes(db)) {
      const std::uint32_t count = vellumo::model::ListItems(db, 0, items.data(), 4096, note);
      for (std::uint32_t i = 0; i < count; ++i) units += vellumo::model::GetItemContent(db, note, items[i]).size();
    }
    benchmark::DoNotOptimize(units);
  }
}
BENCHMARK(BM_ReadEveryContent)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
