// The pop-up trigger sampler and recogniser, as each 40 ms tick runs them:
// one pointer sample, and the recogniser when it gives an event.  The trace
// is a pointer moving about, shaking and touching edges, so that strokes,
// turns and touches all occur.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "notes/pointer_triggers.h"

namespace {

using vellumo::notes::GestureRecogniser;
using vellumo::notes::MonitorRect;
using vellumo::notes::PointerSampler;

std::vector<std::pair<int, int>> Trace() {
  std::vector<std::pair<int, int>> points;
  for (int i = 0; i < 4096; ++i) {
    const double t = i * 0.37;
    int x = 640 + static_cast<int>(700 * std::sin(t * 0.9));
    int y = 400 + static_cast<int>(450 * std::cos(t * 1.3));
    x = std::max(0, std::min(x, 1279));
    y = std::max(0, std::min(y, 799));
    points.emplace_back(x, y);
  }
  return points;
}

void BM_TriggerTick(benchmark::State& state) {
  const auto trace = Trace();
  const std::vector<MonitorRect> monitors = state.range(0) == 1
                                                ? std::vector<MonitorRect>{{0, 0, 1280, 800}}
                                                : std::vector<MonitorRect>{{0, 0, 1280, 800}, {1280, 0, 3200, 1080}};
  PointerSampler sampler;
  sampler.SetMonitors(monitors);
  GestureRecogniser recogniser;
  std::size_t i = 0;
  std::uint32_t now = 100000;
  int fired = 0;
  for (auto _ : state) {
    const auto& [x, y] = trace[i++ & 4095];
    now += 40;
    if (auto e = sampler.Sample(x, y)) fired += recogniser.Feed(e->event, now) != 0;
    benchmark::DoNotOptimize(fired);
  }
  state.counters["triggers"] = fired;
}
BENCHMARK(BM_TriggerTick)->Arg(1)->Arg(2)->ArgName("monitors");

}  // namespace

BENCHMARK_MAIN();
