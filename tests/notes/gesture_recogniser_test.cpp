#include "notes/gesture_recogniser.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "notes/pointer_sampler.h"

namespace vellumo::notes {
namespace {

namespace ev = pointer_event;
using Codes = std::vector<int>;

constexpr int U = ev::kUp, D = ev::kDown, L = ev::kLeft, R = ev::kRight;

struct Timed {
  int event;
  std::uint32_t at;  // ms after the base
};

// The trigger code each event gives, fed in order.
Codes FeedAll(const std::vector<Timed>& events, std::uint32_t base = 10000) {
  GestureRecogniser recogniser;
  Codes codes;
  for (const Timed& e : events) codes.push_back(recogniser.Feed(e.event, base + e.at));
  return codes;
}

TEST(GestureRecogniser, StrokesAndTurns) {
  struct Case {
    const char* what;
    std::vector<Timed> events;
    Codes codes;
  };
  const Case cases[] = {
      {"down, up, down", {{D, 0}, {U, 120}, {D, 240}}, {0, 0, 1}},
      {"left, right, left", {{L, 0}, {R, 120}, {L, 240}}, {0, 0, 2}},
      {"strokes 400 ms apart", {{D, 0}, {U, 400}, {D, 800}}, {0, 0, 1}},
      {"strokes 401 ms apart", {{D, 0}, {U, 401}, {D, 802}}, {0, 0, 0}},
      {"a turn just before spoils a shake until its next leg",
       {{L, 0}, {D, 100}, {U, 200}, {D, 300}, {U, 400}},
       {0, 0, 0, 0, 1}},
      {"clockwise: right, down, left, up, right", {{R, 0}, {D, 120}, {L, 240}, {U, 360}, {R, 480}}, {0, 0, 0, 0, 3}},
      {"clockwise from another start: down, left, up, right, down",
       {{D, 0}, {L, 120}, {U, 240}, {R, 360}, {D, 480}},
       {0, 0, 0, 0, 3}},
      {"counter-clockwise: right, up, left, down, right",
       {{R, 0}, {U, 120}, {L, 240}, {D, 360}, {R, 480}},
       {0, 0, 0, 0, 4}},
      {"a clockwise turn breaks a counter-clockwise run",
       {{R, 0}, {U, 120}, {L, 240}, {U, 360}, {L, 480}, {D, 600}},
       {0, 0, 0, 0, 0, 0}},
      {"a counter-clockwise turn breaks a clockwise run",
       {{R, 0}, {D, 120}, {L, 240}, {D, 360}, {L, 480}, {U, 600}},
       {0, 0, 0, 0, 0, 0}},
      {"a circle within one second", {{R, 0}, {D, 300}, {L, 600}, {U, 900}, {R, 1200}}, {0, 0, 0, 0, 3}},
      {"a circle whose first turn is older than one second",
       {{R, 0}, {D, 350}, {L, 700}, {U, 1050}, {R, 1400}},
       {0, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) EXPECT_EQ(FeedAll(c.events), c.codes) << c.what;
}

TEST(GestureRecogniser, TouchesTriggerAtOnce) {
  const struct {
    int event, code;
  } cases[] = {
      {ev::kLeftEdge, 8}, {ev::kRightEdge, 9}, {ev::kTopEdge, 6},     {ev::kBottomEdge, 11},
      {ev::kTopLeft, 5},  {ev::kTopRight, 7},  {ev::kBottomLeft, 10}, {ev::kBottomRight, 12},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FeedAll({{c.event, 0}}), Codes{c.code}) << c.event;
    // Strokes under way do not change what a touch means.
    EXPECT_EQ(FeedAll({{R, 0}, {D, 100}, {L, 200}, {c.event, 300}}), (Codes{0, 0, 0, c.code})) << c.event;
  }
}

TEST(GestureRecogniser, QuietAfterATrigger) {
  const int edge = ev::kLeftEdge;
  // Each ignored event draws the quiet time out to 300 ms after it.
  EXPECT_EQ(FeedAll({{edge, 0}, {edge, 250}, {edge, 500}, {edge, 750}, {edge, 1050}}), (Codes{8, 0, 0, 0, 8}));
  EXPECT_EQ(FeedAll({{edge, 0}, {ev::kRightEdge, 399}}), (Codes{8, 0}));
  EXPECT_EQ(FeedAll({{edge, 0}, {ev::kRightEdge, 400}}), (Codes{8, 9}));
  // Ignored events are not remembered: they make no shake with a later one.
  EXPECT_EQ(FeedAll({{edge, 0}, {D, 100}, {U, 200}, {D, 500}}), (Codes{8, 0, 0, 0}));
  // A trigger's own events take part in no later trigger: one more leg
  // right after a shake is no second shake.
  EXPECT_EQ(FeedAll({{U, 0}, {D, 100}, {U, 200}, {D, 600}}), (Codes{0, 0, 1, 0}));
}

TEST(GestureRecogniser, TimesAreAWrappingTickCount) {
  const std::uint32_t nearWrap = 0xFFFFFF80u;
  EXPECT_EQ(FeedAll({{D, 0}, {U, 120}, {D, 240}, {ev::kTopEdge, 639}, {ev::kTopEdge, 939}}, nearWrap),
            (Codes{0, 0, 1, 0, 6}));
  // Soon after the machine started the first trigger is not held back.
  EXPECT_EQ(FeedAll({{ev::kTopEdge, 0}}, 50), Codes{6});
}

// The sampler and recogniser as a 40 ms tick drives them on a 1280 x 800
// screen.  The pointer starts at a point and rests there long enough for
// anything before to be forgotten.
class Trace {
 public:
  struct Leg {
    int dx, dy, ticks;  // per tick; dx = dy = 0 is a rest
  };

  explicit Trace(int x, int y) : x_(x), y_(y) {
    sampler_.SetMonitors({{0, 0, 1280, 800}});
    Rest(30);
    codes_.clear();
  }
  Trace& Legs(const std::vector<Leg>& legs) {
    for (const Leg& leg : legs)
      for (int i = 0; i < leg.ticks; ++i) Tick(x_ + leg.dx, y_ + leg.dy);
    return *this;
  }
  Trace& To(int x, int y) {
    Tick(x, y);
    return *this;
  }
  Trace& Rest(int ticks) { return Legs({{0, 0, ticks}}); }
  const Codes& codes() const { return codes_; }

 private:
  void Tick(int x, int y) {
    x_ = x;
    y_ = y;
    now_ += 40;
    if (const auto event = sampler_.Sample(x, y))
      if (const int code = recogniser_.Feed(event->event, now_); code != 0) codes_.push_back(code);
  }

  PointerSampler sampler_;
  GestureRecogniser recogniser_;
  std::uint32_t now_ = 10000;
  int x_, y_;
  Codes codes_;
};

TEST(PointerTriggerTraces, EdgesAndCorners) {
  EXPECT_EQ(Trace(100, 400).To(0, 400).Rest(20).codes(), Codes{8}) << "resting against the edge does nothing more";
  EXPECT_EQ(Trace(100, 400).To(0, 400).Rest(10).To(60, 400).Rest(10).To(0, 400).codes(), (Codes{8, 8}))
      << "leaving and touching again";
  EXPECT_EQ(Trace(100, 400).To(0, 400).To(60, 400).To(0, 400).codes(), Codes{8}) << "touching again within 400 ms";
  EXPECT_EQ(Trace(100, 400).To(0, 400).Legs({{100, 0, 4}}).To(1279, 400).codes(), Codes{8})
      << "the right edge 200 ms after the left";
  EXPECT_EQ(Trace(100, 400).To(0, 400).Rest(10).To(1200, 400).To(1279, 400).codes(), (Codes{8, 9}))
      << "the right edge 480 ms after the left";

  struct Case {
    int fromX, fromY, toX, toY;
    Codes codes;
  };
  const Case cases[] = {
      {50, 100, 0, 100, {}},  // 100 px below the corner
      {50, 50, 0, 0, {5}},    // the corner pixel itself
      {1200, 50, 1279, 0, {7}},   {50, 700, 0, 799, {10}},     {1200, 700, 1279, 799, {12}}, {640, 50, 640, 0, {6}},
      {640, 700, 640, 799, {11}}, {1200, 400, 1279, 400, {9}}, {50, 161, 0, 161, {8}},       {50, 160, 0, 160, {}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Trace(c.fromX, c.fromY).To(c.toX, c.toY).codes(), c.codes) << c.toX << "," << c.toY;
}

TEST(PointerTriggerTraces, Gestures) {
  using Leg = Trace::Leg;
  const Leg longAgo{0, 0, 30};
  struct Case {
    const char* what;
    int x, y;
    std::vector<Leg> legs;  // the first leg, long ago, is the fast move back a stroke is measured from
    Codes codes;
  };
  const Case cases[] = {
      {"shake down, up, down", 640, 400, {{0, -30, 3}, longAgo, {0, 30, 3}, {0, -30, 3}, {0, 30, 3}}, {1}},
      {"shake left, right, left", 640, 400, {{30, 0, 3}, longAgo, {-30, 0, 3}, {30, 0, 3}, {-30, 0, 3}}, {2}},
      {"17 px a tick, legs of 68 px", 640, 400, {{0, -17, 4}, longAgo, {0, 17, 4}, {0, -17, 4}, {0, 17, 4}}, {1}},
      {"too slow: 16 px a tick", 640, 400, {{0, -16, 6}, longAgo, {0, 16, 6}, {0, -16, 6}, {0, 16, 6}}, {}},
      {"too short: legs of 50 px", 640, 400, {{0, -25, 2}, longAgo, {0, 25, 2}, {0, -25, 2}, {0, 25, 2}}, {}},
      {"strokes 400 ms apart",
       640,
       400,
       {{0, -30, 3}, longAgo, {0, 30, 3}, {0, 0, 7}, {0, -30, 3}, {0, 0, 7}, {0, 30, 3}},
       {1}},
      {"strokes 440 ms apart",
       640,
       400,
       {{0, -30, 3}, longAgo, {0, 30, 3}, {0, 0, 8}, {0, -30, 3}, {0, 0, 8}, {0, 30, 3}},
       {}},
      {"diagonal shake", 640, 400, {{-30, -30, 3}, longAgo, {30, 30, 3}, {-30, -30, 3}, {30, 30, 3}}, {}},
      {"clockwise circle",
       400,
       300,
       {{-30, -30, 3}, longAgo, {30, 0, 3}, {0, 30, 3}, {-30, 0, 3}, {0, -30, 3}, {30, 0, 3}},
       {3}},
      {"counter-clockwise circle",
       400,
       500,
       {{-30, 30, 3}, longAgo, {30, 0, 3}, {0, -30, 3}, {-30, 0, 3}, {0, 30, 3}, {30, 0, 3}},
       {4}},
      {"slow clockwise circle, 320 ms a quarter",
       400,
       300,
       {{-30, -30, 3}, longAgo, {20, 0, 8}, {0, 20, 8}, {-20, 0, 8}, {0, -20, 8}, {20, 0, 8}},
       {3}},
      {"slower clockwise circle, 360 ms a quarter: its start is over a second old",
       400,
       300,
       {{-30, -30, 3}, longAgo, {20, 0, 9}, {0, 20, 9}, {-20, 0, 9}, {0, -20, 9}, {20, 0, 9}},
       {}},
  };
  for (const Case& c : cases) EXPECT_EQ(Trace(c.x, c.y).Legs(c.legs).codes(), c.codes) << c.what;
}

}  // namespace
}  // namespace vellumo::notes
