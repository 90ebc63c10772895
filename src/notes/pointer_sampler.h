#pragma once
// The pointer sampled once a tick for pop-up triggers: each sample gives at
// most one event, an outer edge or corner touched or a fast stroke up, down,
// left or right.  Pure: positions and monitor rectangles in, events out.
//
// Every monitor's outer edges and corners are trigger places; where two
// monitors meet the pointer passes through and nothing is touched.  On one
// monitor this is the single-screen rule: an edge counts only farther than
// 160 pixels from both of its ends (measured on the monitor that has the
// edge), the corner pixel itself is the corner, and a touch counts only on
// the tick the pointer arrives there.
#include <optional>
#include <span>
#include <vector>

#include "notes/note_layout.h"
#include "notes/trigger_tuning.h"

namespace vellumo::notes {

struct PointerEvent {
  int event = 0;     // pointer_event::
  int monitor = -1;  // index of the monitor touched; -1 for strokes
  bool operator==(const PointerEvent&) const = default;
};

// An outer edge or corner under a point.  A left or right edge lies in a
// column and counts when the pointer moved sideways onto it, a top or bottom
// edge lies in a row and counts when it moved up or down; a corner lies in
// both, and either movement will do.
struct TouchPlace {
  int event = 0;  // pointer_event:: touches
  int monitor = -1;
  bool inColumn = false, inRow = false;
  bool operator==(const TouchPlace&) const = default;
};

// Monitors are rectangles in virtual-screen coordinates, right and bottom
// exclusive.  Nothing when the point is inside a monitor, on an edge shared
// with another one, within the corner margin of an edge, or off every
// monitor.
std::optional<TouchPlace> TouchPlaceAt(std::span<const MonitorRect> monitors, int x, int y);

class PointerSampler {
 public:
  // On start and whenever the display changes.  Without monitors nothing is
  // sampled.
  void SetMonitors(std::vector<MonitorRect> monitors);
  // One sample a tick.
  std::optional<PointerEvent> Sample(int x, int y);

 private:
  std::optional<PointerEvent> Stroke(int x, int y, int dx, int dy);

  std::vector<MonitorRect> monitors_;
  MonitorRect bounds_{};  // of all monitors
  int lastX_ = 0, lastY_ = 0;
  // Where the last fast move in each direction was.
  int rightMark_ = 0, leftMark_ = 0, downMark_ = 0, upMark_ = 0;
};

}  // namespace vellumo::notes
