#include "notes/pointer_triggers.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace vellumo::notes {
namespace {

namespace ev = pointer_event;
using Point = std::pair<int, int>;

// Feeds one sample per 40 ms tick into a sampler and recogniser for a
// 1280 x 800 screen and collects (tick, trigger code).
struct Trace {
  PointerSampler sampler;
  GestureRecogniser recogniser;
  std::uint32_t now = 10000;
  std::vector<std::pair<int, int>> fired;
  int tick = 0;
  explicit Trace(std::vector<MonitorRect> monitors = {{0, 0, 1280, 800}}) {
    sampler.SetMonitors(std::move(monitors));
    Run({{640, 400}});
  }
  void Run(const std::vector<Point>& samples) {
    for (const auto& [x, y] : samples) {
      ++tick;
      now += 40;
      if (auto e = sampler.Sample(x, y))
        if (const int code = recogniser.Feed(e->event, now); code != 0) fired.emplace_back(tick, code);
    }
  }
  void Rest(int ticks, Point at) { Run(std::vector<Point>(static_cast<std::size_t>(ticks), at)); }
  // Moves by (dx, dy) per tick for n ticks from the last point.
  Point Move(Point from, int dx, int dy, int n) {
    std::vector<Point> samples;
    for (int i = 1; i <= n; ++i) samples.push_back({from.first + dx * i, from.second + dy * i});
    Run(samples);
    return samples.back();
  }
  // A fast move the other way long ago (older than any gesture), as a
  // pointer in use always has: the first leg of a shake counts from it.
  Point Prime(Point at, int dx, int dy) {
    const Point end = Move(at, dx, dy, 3);
    Rest(40, end);
    fired.clear();
    return end;
  }
  std::vector<int> Codes() const {
    std::vector<int> codes;
    for (const auto& f : fired) codes.push_back(f.second);
    return codes;
  }
};

using Codes = std::vector<int>;

TEST(PointerTriggers, AnEdgeFiresOncePerTouch) {
  Trace t;
  t.Run({{100, 400}, {0, 400}});
  t.Rest(20, {0, 400});  // resting against the edge: nothing more
  EXPECT_EQ(t.Codes(), Codes{8});
  t.Run({{60, 400}});
  t.Rest(10, {60, 400});
  t.Run({{0, 400}});
  EXPECT_EQ(t.Codes(), (Codes{8, 8}));
}

TEST(PointerTriggers, CornersAndTheMarginBesideThem) {
  struct Case {
    Point from, to;
    Codes expected;
  };
  const Case cases[] = {
      {{50, 100}, {0, 100}, {}},        // 100 px below the corner: too near it for the left edge
      {{50, 50}, {0, 0}, {5}},          // the corner pixel itself
      {{1200, 50}, {1279, 0}, {7}},     // top-right: the last column is beyond SW
      {{1200, 700}, {1279, 799}, {12}},
      {{50, 700}, {0, 799}, {10}},
      {{640, 50}, {640, 0}, {6}},
      {{640, 700}, {640, 799}, {11}},
      {{1200, 400}, {1279, 400}, {9}},
      {{50, 161}, {0, 161}, {8}},       // just past the margin
      {{50, 160}, {0, 160}, {}},
  };
  for (const Case& c : cases) {
    Trace t;
    t.Rest(15, c.from);
    t.Run({c.to});
    EXPECT_EQ(t.Codes(), c.expected) << c.to.first << "," << c.to.second;
  }
}

TEST(PointerTriggers, ShakesAndCircles) {
  {
    Trace t;  // down, up, down: fast legs of 90 px
    Point p = t.Prime({640, 400}, 0, -30);
    p = t.Move(p, 0, 30, 3);
    p = t.Move(p, 0, -30, 3);
    t.Move(p, 0, 30, 3);
    EXPECT_EQ(t.Codes(), Codes{1});
  }
  {
    Trace t;  // left, right, left
    Point p = t.Prime({640, 400}, 30, 0);
    p = t.Move(p, -30, 0, 3);
    p = t.Move(p, 30, 0, 3);
    t.Move(p, -30, 0, 3);
    EXPECT_EQ(t.Codes(), Codes{2});
  }
  {
    Trace t;  // too slow: 15 px a tick is no fast move
    Point p = t.Prime({640, 400}, 0, -30);
    p = t.Move(p, 0, 15, 6);
    p = t.Move(p, 0, -15, 6);
    t.Move(p, 0, 15, 6);
    EXPECT_EQ(t.Codes(), Codes{});
  }
  {
    Trace t;  // legs too far apart: a pause of 500 ms between strokes
    Point p = t.Prime({640, 400}, 0, -30);
    p = t.Move(p, 0, 30, 3);
    t.Rest(13, p);
    p = t.Move(p, 0, -30, 3);
    t.Rest(13, p);
    t.Move(p, 0, 30, 3);
    EXPECT_EQ(t.Codes(), Codes{});
  }
  {
    Trace t;  // diagonal: both axes at once make no stroke
    Point p = t.Prime({640, 400}, -30, -30);
    p = t.Move(p, 30, 30, 3);
    p = t.Move(p, -30, -30, 3);
    t.Move(p, 30, 30, 3);
    EXPECT_EQ(t.Codes(), Codes{});
  }
  {
    Trace t;  // right, down, left, up, right: clockwise on the screen
    Point p = t.Prime({400, 300}, -30, -30);
    p = t.Move(p, 30, 0, 3);
    p = t.Move(p, 0, 30, 3);
    p = t.Move(p, -30, 0, 3);
    p = t.Move(p, 0, -30, 3);
    t.Move(p, 30, 0, 3);
    EXPECT_EQ(t.Codes(), Codes{3});
  }
  {
    Trace t;  // right, up, left, down, right
    Point p = t.Prime({400, 500}, -30, 30);
    p = t.Move(p, 30, 0, 3);
    p = t.Move(p, 0, -30, 3);
    p = t.Move(p, -30, 0, 3);
    p = t.Move(p, 0, 30, 3);
    t.Move(p, 30, 0, 3);
    EXPECT_EQ(t.Codes(), Codes{4});
  }
}

TEST(PointerTriggers, ASecondTriggerWithin400MsIsIgnored) {
  Trace t;
  t.Rest(5, {100, 400});
  t.Run({{0, 400}});
  t.Run({{100, 400}, {200, 400}, {1100, 400}, {1279, 400}});  // the right edge 200 ms later
  EXPECT_EQ(t.Codes(), Codes{8});
  t.Rest(12, {1100, 400});
  t.Run({{1279, 400}});
  EXPECT_EQ(t.Codes(), (Codes{8, 9}));
}

TEST(TouchAt, OuterEdgesOfSeveralMonitors) {
  struct Case {
    const char* layout;
    std::vector<MonitorRect> monitors;
    Point at;
    int event;    // 0: nothing
    int monitor;
  };
  const std::vector<MonitorRect> sideBySide = {{0, 0, 1280, 800}, {1280, 0, 2560, 800}};
  const std::vector<MonitorRect> stacked = {{0, 0, 1280, 800}, {0, 800, 1280, 1600}};
  const std::vector<MonitorRect> sizes = {{0, 0, 1920, 1080}, {1920, 0, 3200, 800}};
  const std::vector<MonitorRect> leftOfPrimary = {{0, 0, 1280, 800}, {-1024, 100, 0, 868}};
  const Case cases[] = {
      {"side by side: the shared edge", sideBySide, {1279, 400}, 0, -1},
      {"side by side: the far right edge", sideBySide, {2559, 400}, ev::kRightEdge, 1},
      {"side by side: the left edge", sideBySide, {0, 400}, ev::kLeftEdge, 0},
      {"side by side: no corner where they meet", sideBySide, {1279, 0}, 0, -1},
      {"side by side: the far top-right corner", sideBySide, {2559, 0}, ev::kTopRight, 1},
      {"stacked: the shared edge", stacked, {640, 799}, 0, -1},
      {"stacked: the bottom edge below", stacked, {640, 1599}, ev::kBottomEdge, 1},
      {"sizes: beside the shorter monitor", sizes, {1919, 400}, 0, -1},
      {"sizes: below the shorter monitor", sizes, {1919, 900}, ev::kRightEdge, 0},
      {"sizes: the shorter one's bottom", sizes, {2500, 799}, ev::kBottomEdge, 1},
      {"left of the primary: its left edge", leftOfPrimary, {-1024, 400}, ev::kLeftEdge, 1},
      {"left of the primary: its top-left corner", leftOfPrimary, {-1024, 100}, ev::kTopLeft, 1},
      {"left of the primary: the shared edge", leftOfPrimary, {0, 400}, 0, -1},
      {"left of the primary: the primary's edge above it", leftOfPrimary, {0, 50}, 0, -1},  // within the margin
  };
  for (const Case& c : cases) {
    const auto touch = TouchAt(c.monitors, c.at.first, c.at.second, true, true);
    EXPECT_EQ(touch ? touch->event : 0, c.event) << c.layout;
    EXPECT_EQ(touch ? touch->monitor : -1, c.monitor) << c.layout;
  }
}

}  // namespace
}  // namespace vellumo::notes
