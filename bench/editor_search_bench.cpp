// The item editor's content search over a note of 4,096 items of 1 KB each
// (the "内容" button): the match in the last item, and no match at all,
// which reads and compares every content.  "Read" hands each content over
// as a copy, as the editor reads it from the database; "Listed" searches a
// note already in memory.  Under Wine the editor also pays for the database
// reads themselves.
#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

#include "editor/item_search.h"

namespace {

using vellumo::editor::FindNextItem;
using vellumo::editor::NoteEntry;
using vellumo::editor::SearchField;

constexpr std::uint32_t kItems = 4096;

std::map<std::uint32_t, std::u16string> Note() {
  std::map<std::uint32_t, std::u16string> items;
  for (std::uint32_t id = 1; id <= kItems; ++id) {
    std::u16string content;
    while (content.size() < 512) content += u"<a>Some Text 中文内容 " + std::u16string(1, static_cast<char16_t>(u'a' + id % 26));
    content.resize(512);  // 1 KB of UTF-16
    items.emplace(id, std::move(content));
  }
  items[kItems].replace(500, 6, u"Needle");
  return items;
}

const std::u16string& Needle(const benchmark::State& state) {
  static const std::u16string found = u"needle", missing = u"nowhere";
  return state.range(0) ? found : missing;
}

void BM_ContentSearchRead(benchmark::State& state) {
  const auto items = Note();
  auto next = [&](std::uint32_t id) -> std::uint32_t {
    const auto it = items.upper_bound(id);
    return it == items.end() ? 0 : it->first;
  };
  auto text = [&](std::uint32_t id) { return items.at(id); };
  for (auto _ : state) benchmark::DoNotOptimize(FindNextItem(1, Needle(state), true, next, text));
}
BENCHMARK(BM_ContentSearchRead)->Arg(1)->Arg(0)->ArgName("found")->Unit(benchmark::kMillisecond);

void BM_ContentSearchListed(benchmark::State& state) {
  const auto items = Note();
  std::vector<NoteEntry> entries;
  for (const auto& [id, content] : items) entries.push_back({id, u"title", content});
  for (auto _ : state) benchmark::DoNotOptimize(FindNextItem(entries, 1, Needle(state), SearchField::Content));
}
BENCHMARK(BM_ContentSearchListed)->Arg(1)->Arg(0)->ArgName("found")->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
