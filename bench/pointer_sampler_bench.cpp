// The pop-up trigger sampler and recogniser, as each 40 ms tick runs them:
// one pointer sample, and the recogniser when it gives an event.  The trace
// is a pointer in use: wandering slowly, shaking, drawing circles and
// pushing against edges and corners, so that strokes, turns, touches and
// triggers all occur.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "notes/gesture_recogniser.h"
#include "notes/pointer_sampler.h"

namespace {

using vellumo::notes::GestureRecogniser;
using vellumo::notes::MonitorRect;
using vellumo::notes::PointerSampler;
using Point = std::pair<int, int>;

class TraceBuilder {
 public:
  TraceBuilder(int width, int height) : width_(width), height_(height) {}
  void Leg(int dx, int dy, int ticks) {
    for (int i = 0; i < ticks; ++i) {
      x_ = std::clamp(x_ + dx, 0, width_ - 1);
      y_ = std::clamp(y_ + dy, 0, height_ - 1);
      points_.emplace_back(x_, y_);
    }
  }
  void To(int x, int y) { Leg(x - x_, y - y_, 1); }
  std::vector<Point> Take() { return std::move(points_); }

 private:
  int width_, height_;
  int x_ = 640, y_ = 400;
  std::vector<Point> points_;
};

std::vector<Point> Trace(int width, int height) {
  TraceBuilder b(width, height);
  for (int round = 0; round < 64; ++round) {
    const int cx = 300 + (round * 97) % (width - 600), cy = 250 + (round * 61) % (height - 500);
    b.Leg((cx - 640) / 40, (cy - 400) / 40, 40);  // wander
    b.Leg(3, -2, 25);
    switch (round % 4) {
      case 0:  // shake
        for (int leg = 0; leg < 4; ++leg) b.Leg(0, leg % 2 ? -30 : 30, 3);
        break;
      case 1:  // circle
        for (const auto& [dx, dy] : {Point{30, 0}, Point{0, 30}, Point{-30, 0}, Point{0, -30}, Point{30, 0}})
          b.Leg(dx, dy, 3);
        break;
      case 2:  // push against an edge, rest there, come back
        b.To(0, height / 2);
        b.Leg(0, 0, 10);
        b.To(200, height / 2);
        break;
      default:  // into a corner
        b.To(width - 1, 0);
        b.Leg(0, 0, 10);
        b.To(width - 300, 200);
        break;
    }
    b.Leg(0, 0, 15);
  }
  return b.Take();
}

void BM_TriggerTick(benchmark::State& state) {
  const std::vector<MonitorRect> monitors =
      state.range(0) == 1 ? std::vector<MonitorRect>{{0, 0, 1280, 800}}
                          : std::vector<MonitorRect>{{0, 0, 1280, 800}, {1280, 0, 3200, 1080}, {-1024, 100, 0, 868}};
  const auto trace = Trace(1280, 800);
  PointerSampler sampler;
  sampler.SetMonitors(monitors);
  GestureRecogniser recogniser;
  std::size_t i = 0;
  std::uint32_t now = 100000;
  std::int64_t events = 0, triggers = 0;
  for (auto _ : state) {
    const auto& [x, y] = trace[i];
    i = i + 1 == trace.size() ? 0 : i + 1;
    now += 40;
    if (const auto e = sampler.Sample(x, y)) {
      ++events;
      triggers += recogniser.Feed(e->event, now) != 0;
    }
    benchmark::DoNotOptimize(triggers);
  }
  const auto ticks = static_cast<double>(state.iterations());
  state.counters["events_per_tick"] = static_cast<double>(events) / ticks;
  state.counters["triggers_per_1k_ticks"] = 1000.0 * static_cast<double>(triggers) / ticks;
}
BENCHMARK(BM_TriggerTick)->Arg(1)->Arg(3)->ArgName("monitors");

// The worst tick: an event every tick, so the recogniser walks its history
// each time, all 15 pairs of it (up, left, up, left, 40 ms apart: the turns
// alternate, so it is never a gesture and no quiet time cuts the walk short).
void BM_RecogniserEveryTick(benchmark::State& state) {
  const int events[] = {5, 7};
  GestureRecogniser recogniser;
  std::uint32_t now = 100000;
  std::size_t i = 0;
  std::int64_t triggers = 0;
  for (auto _ : state) {
    now += 40;
    triggers += recogniser.Feed(events[i++ & 1], now) != 0;
    benchmark::DoNotOptimize(triggers);
  }
  state.counters["triggers_per_1k_ticks"] =
      1000.0 * static_cast<double>(triggers) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_RecogniserEveryTick);

}  // namespace

BENCHMARK_MAIN();
