#pragma once
// Pop-up triggers from the pointer alone: a sampler that turns one pointer
// position per tick into events (an edge or corner touched, a fast stroke
// up, down, left or right), and a recogniser that turns events into trigger
// codes (1-4 gestures, 5-12 edges and corners).  Pure: positions, monitor
// rectangles and times in, codes out.
//
// Every monitor's outer edges and corners are trigger places; where two
// monitors meet the pointer passes through and nothing triggers.  With one
// monitor this is the single-screen rule: an edge counts only farther than
// 160 pixels from both of its ends, the corner pixel itself is the corner,
// and a touch counts only on the tick the pointer arrives there.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "notes/note_layout.h"

namespace vellumo::notes {

namespace pointer_event {
inline constexpr int kUp = 5, kDown = 6, kLeft = 7, kRight = 8;
inline constexpr int kTopLeft = 9, kBottomLeft = 10, kTopRight = 11, kBottomRight = 12;
inline constexpr int kLeftEdge = 13, kRightEdge = 14, kTopEdge = 15, kBottomEdge = 16;
}  // namespace pointer_event

struct TriggerTuning {
  static constexpr int kCornerMargin = 160;
  static constexpr int kFastMove = 16;      // pixels per tick along an axis
  static constexpr int kStrokeLength = 50;  // from the last fast move the other way
  static constexpr std::uint32_t kGestureGapMs = 400;
  static constexpr std::uint32_t kGestureAgeMs = 1000;
  static constexpr std::uint32_t kQuietMs = 400;
  static constexpr int kStrokes = 3;
  static constexpr int kQuarterTurns = 4;
};

struct PointerEvent {
  int event = 0;     // pointer_event::
  int monitor = -1;  // the monitor touched; -1 for strokes
};

// What a point touches on the outer edges of the monitors, ignoring how the
// pointer got there; nothing when it lies inside a monitor, on a shared
// edge or within the corner margin of an edge's end.
std::optional<PointerEvent> TouchAt(std::span<const MonitorRect> monitors, int x, int y, bool movedX, bool movedY);

class PointerSampler {
 public:
  // No monitors: nothing is sampled.
  void SetMonitors(std::vector<MonitorRect> monitors);
  // One sample a tick.
  std::optional<PointerEvent> Sample(int x, int y);

 private:
  std::vector<MonitorRect> monitors_;
  MonitorRect bounds_{};
  int lastX_ = 0, lastY_ = 0;
  int rightMark_ = 0, leftMark_ = 0, downMark_ = 0, upMark_ = 0;
};

class GestureRecogniser {
 public:
  // Trigger code 1..12, or 0.
  int Feed(int event, std::uint32_t now);

 private:
  struct Entry {
    int event = 0;
    std::uint32_t time = 0;
  };
  std::array<Entry, 16> history_{};
  std::uint32_t lastTrigger_ = 0;
  bool triggered_ = false;
};

}  // namespace vellumo::notes
