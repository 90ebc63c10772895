// The item editor's content search over a note of 4,096 items of 1 KB each
// (the "内容" button): the match in the last item, and no match at all,
// which reads and lower-cases every content.  Contents come from memory
// here; under Wine the same search also reads them from the database.
#include <benchmark/benchmark.h>

#include <map>
#include <string>

#include "editor/item_search.h"

namespace {

using vellumo::editor::FindNextItem;

std::map<std::uint32_t, std::u16string> Note() {
  std::map<std::uint32_t, std::u16string> items;
  for (std::uint32_t id = 1; id <= 4096; ++id) {
    std::u16string content;
    while (content.size() < 512) content += u"<a>Some Text 中文内容 " + std::u16string(1, static_cast<char16_t>(u'a' + id % 26));
    content.resize(512);  // 1 KB of UTF-16
    items.emplace(id, std::move(content));
  }
  items[4096] += u"needle";
  return items;
}

void BM_ContentSearch(benchmark::State& state) {
  const auto items = Note();
  const std::u16string needle = state.range(0) ? u"needle" : u"nowhere";
  auto next = [&](std::uint32_t id) -> std::uint32_t {
    const auto it = items.upper_bound(id);
    return it == items.end() ? 0 : it->first;
  };
  auto text = [&](std::uint32_t id) { return items.at(id); };
  for (auto _ : state) benchmark::DoNotOptimize(FindNextItem(1, needle, true, next, text));
}
BENCHMARK(BM_ContentSearch)->Arg(1)->Arg(0)->ArgName("found")->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
