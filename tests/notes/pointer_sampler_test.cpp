#include "notes/pointer_sampler.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace vellumo::notes {
namespace {

namespace ev = pointer_event;
struct Point {
  int x = 0, y = 0;
};

const std::vector<MonitorRect> kSingle = {{0, 0, 1280, 800}};

std::string Describe(const std::optional<TouchPlace>& place) {
  if (!place) return "nothing";
  return "event " + std::to_string(place->event) + " on monitor " + std::to_string(place->monitor) +
         (place->inColumn ? " column" : "") + (place->inRow ? " row" : "");
}

TEST(TouchPlaceAt, OneMonitorIsTheSingleScreen) {
  // 1280 x 800: SW = 1278, SH = 798; inner x is 161..1117, inner y 161..637.
  struct Case {
    Point at;
    std::optional<TouchPlace> place;
  };
  const TouchPlace left{ev::kLeftEdge, 0, true, false}, right{ev::kRightEdge, 0, true, false};
  const TouchPlace top{ev::kTopEdge, 0, false, true}, bottom{ev::kBottomEdge, 0, false, true};
  const Case cases[] = {
      {{0, 400}, left},
      {{0, 161}, left},
      {{0, 160}, std::nullopt},  // within the corner margin
      {{0, 100}, std::nullopt},
      {{0, 637}, left},
      {{0, 638}, std::nullopt},
      {{1279, 400}, right},  // the last column is beyond SW
      {{1278, 400}, std::nullopt},
      {{640, 0}, top},
      {{161, 0}, top},
      {{160, 0}, std::nullopt},
      {{1117, 0}, top},
      {{1118, 0}, std::nullopt},
      {{640, 799}, bottom},
      {{640, 798}, std::nullopt},
      {{0, 0}, TouchPlace{ev::kTopLeft, 0, true, true}},  // the corner pixel itself
      {{1279, 0}, TouchPlace{ev::kTopRight, 0, true, true}},
      {{0, 799}, TouchPlace{ev::kBottomLeft, 0, true, true}},
      {{1279, 799}, TouchPlace{ev::kBottomRight, 0, true, true}},
      {{1, 1}, std::nullopt},
      {{640, 400}, std::nullopt},
      {{-1, 400}, std::nullopt},  // off every monitor
      {{1280, 400}, std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TouchPlaceAt(kSingle, c.at.x, c.at.y), c.place)
        << c.at.x << "," << c.at.y << ": " << Describe(TouchPlaceAt(kSingle, c.at.x, c.at.y));
}

TEST(TouchPlaceAt, OnlyOuterEdgesOfSeveralMonitors) {
  struct Case {
    const char* what;
    Point at;
    int event;  // 0: nothing
    int monitor;
  };
  struct Layout {
    const char* name;
    std::vector<MonitorRect> monitors;
    std::vector<Case> cases;
  };
  const Layout layouts[] = {
      {"side by side",
       {{0, 0, 1280, 800}, {1280, 0, 2560, 800}},
       {
           {"the shared edge, left side", {1279, 400}, 0, 0},
           {"the shared edge, right side", {1280, 400}, 0, 0},
           {"the far right edge", {2559, 400}, ev::kRightEdge, 1},
           {"the left edge", {0, 400}, ev::kLeftEdge, 0},
           {"no corner where they meet", {1279, 0}, 0, 0},
           {"nor on the other side", {1280, 0}, 0, 0},
           {"the margin holds at the shared end too", {1200, 0}, 0, 0},
           {"the top edge of the first", {640, 0}, ev::kTopEdge, 0},
           {"the bottom edge of the second", {1920, 799}, ev::kBottomEdge, 1},
           {"the far top-right corner", {2559, 0}, ev::kTopRight, 1},
           {"the near bottom-left corner", {0, 799}, ev::kBottomLeft, 0},
       }},
      {"stacked",
       {{0, 0, 1280, 800}, {0, 800, 1280, 1600}},
       {
           {"the shared edge, above", {640, 799}, 0, 0},
           {"the shared edge, below", {640, 800}, 0, 0},
           {"the bottom edge of the lower", {640, 1599}, ev::kBottomEdge, 1},
           {"the left edge of the lower", {0, 1200}, ev::kLeftEdge, 1},
           {"no corner where they meet", {0, 799}, 0, 0},
           {"the top-left corner", {0, 0}, ev::kTopLeft, 0},
           {"the bottom-right corner", {1279, 1599}, ev::kBottomRight, 1},
       }},
      {"different sizes, tops aligned",
       {{0, 0, 1920, 1080}, {1920, 0, 3200, 800}},
       {
           {"the shared part of the edge", {1919, 400}, 0, 0},
           {"its last shared row", {1919, 799}, 0, 0},
           {"below the shorter monitor the edge is outer", {1919, 800}, ev::kRightEdge, 0},
           {"the taller one's bottom-right corner", {1919, 1079}, ev::kBottomRight, 0},
           {"the shorter one's bottom-left pixel", {1920, 799}, 0, 0},
           {"the shorter one's bottom", {2500, 799}, ev::kBottomEdge, 1},
           {"the shorter one's right edge", {3199, 170}, ev::kRightEdge, 1},
           {"its margin is measured on it, not on the taller", {3199, 700}, 0, 0},
           {"the shorter one's bottom-right corner", {3199, 799}, ev::kBottomRight, 1},
           {"the shorter one's top-left pixel", {1920, 0}, 0, 0},
       }},
      {"left of the primary, lower, negative coordinates",
       {{0, 0, 1920, 1080}, {-1280, 200, 0, 1224}},
       {
           {"its left edge", {-1280, 700}, ev::kLeftEdge, 1},
           {"its top-left corner", {-1280, 200}, ev::kTopLeft, 1},
           {"its bottom-left corner", {-1280, 1223}, ev::kBottomLeft, 1},
           {"within its margin", {-1280, 360}, 0, 1},
           {"just past its margin", {-1280, 361}, ev::kLeftEdge, 1},
           {"its top edge", {-640, 200}, ev::kTopEdge, 1},
           {"its bottom edge", {-640, 1223}, ev::kBottomEdge, 1},
           {"the shared edge, primary side", {0, 700}, 0, 0},
           {"the shared edge, its side", {-1, 700}, 0, 0},
           {"its top-right pixel touches the primary", {-1, 200}, 0, 0},
           {"the primary's left edge above it", {0, 190}, ev::kLeftEdge, 0},
           {"the primary's own margin", {0, 100}, 0, 0},
           {"the primary's top-right corner", {1919, 0}, ev::kTopRight, 0},
       }},
      {"above the primary",
       {{0, 0, 1920, 1080}, {0, -1080, 1920, 0}},
       {
           {"its top edge", {960, -1080}, ev::kTopEdge, 1},
           {"its left edge", {0, -540}, ev::kLeftEdge, 1},
           {"the shared edge, above", {960, -1}, 0, 0},
           {"the shared edge, below", {960, 0}, 0, 0},
           {"no corner where they meet", {0, -1}, 0, 0},
           {"the primary's bottom-right corner", {1919, 1079}, ev::kBottomRight, 0},
       }},
      {"one monitor away from the origin",
       {{-500, -300, 780, 500}},
       {
           {"its left edge", {-500, 100}, ev::kLeftEdge, 0},
           {"within its margin", {-500, -200}, 0, 0},
           {"its top-left corner", {-500, -300}, ev::kTopLeft, 0},
           {"its right edge", {779, 100}, ev::kRightEdge, 0},
           {"its bottom-right corner", {779, 499}, ev::kBottomRight, 0},
           {"the origin is nothing special", {0, 0}, 0, 0},
       }},
      {"mirrored, overlapping at the origin",
       {{0, 0, 1280, 800}, {0, 0, 1920, 1080}},
       {
           {"the smaller one's right edge lies inside the larger", {1279, 400}, 0, 0},
           {"the larger one's right edge", {1919, 400}, ev::kRightEdge, 1},
           {"the left edge both share", {0, 400}, ev::kLeftEdge, 0},
       }},
  };
  for (const Layout& layout : layouts) {
    for (const Case& c : layout.cases) {
      const auto place = TouchPlaceAt(layout.monitors, c.at.x, c.at.y);
      EXPECT_EQ(place ? place->event : 0, c.event) << layout.name << ": " << c.what;
      if (place && c.event != 0) {
        EXPECT_EQ(place->monitor, c.monitor) << layout.name << ": " << c.what;
      }
    }
  }
}

struct Reported {
  int index;  // of the sample
  PointerEvent event;
  bool operator==(const Reported&) const = default;
};
using Reports = std::vector<Reported>;

void PrintTo(const Reported& r, std::ostream* os) {
  *os << "#" << r.index << ": event " << r.event.event << " monitor " << r.event.monitor;
}

// A fresh sampler first sees the pointer at (640, 400), coming from (0, 0)
// fast both ways: a stroke right or down then needs a fast move back first.
// Reports what the samples after that give.
Reports Sampled(const std::vector<MonitorRect>& monitors, const std::vector<Point>& samples, bool touchesOnly) {
  PointerSampler sampler;
  sampler.SetMonitors(monitors);
  (void)sampler.Sample(640, 400);
  Reports reports;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const auto event = sampler.Sample(samples[i].x, samples[i].y);
    if (event && (!touchesOnly || event->event >= ev::kTopLeft)) reports.push_back({static_cast<int>(i), *event});
  }
  return reports;
}

TEST(PointerSampler, ATouchCountsOnlyOnTheTickThePointerArrives) {
  struct Case {
    const char* what;
    std::vector<Point> samples;
    Reports touches;
  };
  const Case cases[] = {
      {"push against the left edge, rest, leave and come back",
       {{100, 400}, {0, 400}, {0, 400}, {0, 400}, {60, 400}, {0, 400}},
       {{1, {ev::kLeftEdge, 0}}, {5, {ev::kLeftEdge, 0}}}},
      {"slide along the left edge: no sideways move",
       {{100, 400}, {0, 400}, {0, 450}, {0, 500}},
       {{1, {ev::kLeftEdge, 0}}}},
      {"slide along the top edge", {{640, 100}, {640, 0}, {700, 0}, {800, 0}}, {{1, {ev::kTopEdge, 0}}}},
      {"slide down the left edge into the corner",
       {{100, 400}, {0, 400}, {0, 700}, {0, 799}},
       {{1, {ev::kLeftEdge, 0}}, {3, {ev::kBottomLeft, 0}}}},
      {"slide along the top edge into the corner",
       {{640, 100}, {640, 0}, {1279, 0}},
       {{1, {ev::kTopEdge, 0}}, {2, {ev::kTopRight, 0}}}},
      {"rest in the corner", {{50, 50}, {0, 0}, {0, 0}, {0, 0}}, {{1, {ev::kTopLeft, 0}}}},
      {"100 px below the corner", {{100, 100}, {0, 100}, {0, 100}}, {}},
      {"the right edge is the last column", {{1200, 400}, {1278, 400}, {1279, 400}}, {{2, {ev::kRightEdge, 0}}}},
  };
  for (const Case& c : cases) EXPECT_EQ(Sampled(kSingle, c.samples, true), c.touches) << c.what;
}

TEST(PointerSampler, TouchesNameTheMonitorAndSharedEdgesLetThePointerThrough) {
  const std::vector<MonitorRect> sideBySide = {{0, 0, 1280, 800}, {1280, 0, 2560, 800}};
  EXPECT_EQ(Sampled(sideBySide, {{1200, 400}, {1279, 400}, {1280, 400}, {1300, 400}, {2559, 400}}, true),
            (Reports{{4, {ev::kRightEdge, 1}}}));
  EXPECT_EQ(Sampled(sideBySide, {{100, 400}, {0, 400}, {2000, 100}, {2559, 0}}, true),
            (Reports{{1, {ev::kLeftEdge, 0}}, {3, {ev::kTopRight, 1}}}));
}

TEST(PointerSampler, AStrokeIsFasterThan16AndLongerThan50Pixels) {
  struct Direction {
    int dx, dy, event;
  };
  const Direction directions[] = {{1, 0, ev::kRight}, {-1, 0, ev::kLeft}, {0, 1, ev::kDown}, {0, -1, ev::kUp}};
  struct Case {
    const char* what;
    int speed, ticks;
    int strokeAt;  // index in the leg; -1: no stroke
  };
  const Case cases[] = {
      {"17 px a tick is fast: a stroke once 51 px from the mark", 17, 3, 2},
      {"16 px a tick is not fast", 16, 6, -1},
      {"50 px is not yet a stroke", 25, 2, -1},
      {"75 px is", 25, 3, 2},
  };
  for (const Direction& d : directions) {
    for (const Case& c : cases) {
      // A fast move the other way first sets the mark the stroke is
      // measured from.
      std::vector<Point> samples;
      Point at{640, 400};
      for (int i = 0; i < 3; ++i) samples.push_back(at = {at.x - 30 * d.dx, at.y - 30 * d.dy});
      for (int i = 0; i < c.ticks; ++i) samples.push_back(at = {at.x + c.speed * d.dx, at.y + c.speed * d.dy});
      Reports strokes;
      for (const Reported& r : Sampled(kSingle, samples, false))
        if (r.index >= 3) strokes.push_back({r.index - 3, r.event});
      const Reports expected = c.strokeAt < 0 ? Reports{} : Reports{{c.strokeAt, PointerEvent{d.event, -1}}};
      EXPECT_EQ(strokes, expected) << c.what << ", event " << d.event;
    }
  }
}

TEST(PointerSampler, StrokesNeedAMoveBackAndOneAxis) {
  const PointerEvent left{ev::kLeft, -1}, right{ev::kRight, -1}, up{ev::kUp, -1}, down{ev::kDown, -1};
  struct Case {
    const char* what;
    std::vector<MonitorRect> monitors;
    std::vector<Point> samples;
    Reports events;
  };
  const std::vector<MonitorRect> sideBySide = {{0, 0, 1280, 800}, {1280, 0, 2560, 800}};
  const std::vector<MonitorRect> leftOfPrimary = {{-1920, 0, 0, 1080}, {0, 0, 1920, 1080}};
  const std::vector<MonitorRect> stacked = {{0, 0, 1280, 800}, {0, 800, 1280, 1600}};
  const std::vector<MonitorRect> above = {{0, -1080, 1920, 0}, {0, 0, 1920, 1080}};
  const Case cases[] = {
      {"a second stroke the same way needs a fast move back",
       kSingle,
       {{623, 400}, {606, 400}, {589, 400}, {560, 400}, {530, 400}, {560, 400}, {590, 400}, {560, 400}, {530, 400}},
       {{2, left}, {6, right}, {8, left}}},
      {"coming from the top-left, a move right is no stroke yet", kSingle, {{660, 400}, {680, 400}, {700, 400}}, {}},
      {"diagonal: both at once are nothing", kSingle, {{623, 383}, {606, 366}, {589, 349}}, {}},
      {"sideways while drifting slowly up", kSingle, {{623, 390}, {606, 380}, {589, 370}}, {{2, left}}},
      {"a fast move onto the edge is a touch, not a stroke",
       kSingle,
       {{623, 400}, {606, 400}, {0, 400}},
       {{2, {ev::kLeftEdge, 0}}}},
      {"after a stroke right the mark is beyond every monitor",
       sideBySide,
       {{623, 400}, {606, 400}, {589, 400}, {620, 400}, {651, 400}, {1300, 400}, {1400, 400}, {1500, 400}},
       {{2, left}, {4, right}}},
      {"after a stroke left the mark is at the left of every monitor",
       leftOfPrimary,
       {{623, 400}, {606, 400}, {589, 400}, {500, 400}, {0, 400}, {-500, 400}, {-1000, 400}},
       {{2, left}}},
      {"after a stroke down the mark is below every monitor",
       stacked,
       {{640, 383}, {640, 366}, {640, 349}, {640, 380}, {640, 411}, {640, 900}, {640, 1000}, {640, 1100}},
       {{2, up}, {4, down}}},
      {"after a stroke up the mark is at the top of every monitor",
       above,
       {{640, 383}, {640, 366}, {640, 349}, {640, 0}, {640, -500}, {640, -1000}},
       {{2, up}}},
  };
  for (const Case& c : cases) EXPECT_EQ(Sampled(c.monitors, c.samples, false), c.events) << c.what;
}

TEST(PointerSampler, WithoutMonitorsNothingIsSampled) {
  PointerSampler sampler;
  EXPECT_FALSE(sampler.Sample(0, 400));
  EXPECT_FALSE(sampler.Sample(700, 100));
}

}  // namespace
}  // namespace vellumo::notes
