#include "notes/pointer_sampler.h"

#include <algorithm>

namespace vellumo::notes {

namespace {

using T = TriggerTuning;
namespace ev = pointer_event;

bool Contains(const MonitorRect& m, int x, int y) { return x >= m.left && x < m.right && y >= m.top && y < m.bottom; }

bool OnAnyMonitor(std::span<const MonitorRect> monitors, int x, int y) {
  return std::any_of(monitors.begin(), monitors.end(), [x, y](const MonitorRect& m) { return Contains(m, x, y); });
}

std::optional<TouchPlace> PlaceOn(std::span<const MonitorRect> monitors, int index, int x, int y) {
  const MonitorRect& m = monitors[static_cast<std::size_t>(index)];
  // In the monitor's own terms SW and SH are its size minus 2, so "beyond
  // SW" is its last column and "beyond SH" its last row.
  const int rx = x - m.left, ry = y - m.top;
  const int sw = m.right - m.left - 2, sh = m.bottom - m.top - 2;
  // A side is outer where the pointer cannot go on past it.
  const bool left = rx == 0 && !OnAnyMonitor(monitors, x - 1, y);
  const bool right = !left && rx > sw && !OnAnyMonitor(monitors, x + 1, y);
  const bool top = ry == 0 && !OnAnyMonitor(monitors, x, y - 1);
  const bool bottom = !top && ry > sh && !OnAnyMonitor(monitors, x, y + 1);
  const bool inColumn = left || right, inRow = top || bottom;
  int event = 0;
  if (inColumn && inRow) {
    event = left ? (top ? ev::kTopLeft : ev::kBottomLeft) : (top ? ev::kTopRight : ev::kBottomRight);
  } else if (inColumn && ry > T::kCornerMargin && ry < sh - T::kCornerMargin) {
    event = left ? ev::kLeftEdge : ev::kRightEdge;
  } else if (inRow && rx > T::kCornerMargin && rx < sw - T::kCornerMargin) {
    event = top ? ev::kTopEdge : ev::kBottomEdge;
  }
  if (event == 0) return std::nullopt;
  return TouchPlace{event, index, inColumn, inRow};
}

}  // namespace

std::optional<TouchPlace> TouchPlaceAt(std::span<const MonitorRect> monitors, int x, int y) {
  // Overlapping monitors (mirrored displays) may both hold the point; the
  // first that has a trigger place there gives it.
  for (std::size_t i = 0; i < monitors.size(); ++i) {
    if (!Contains(monitors[i], x, y)) continue;
    if (auto place = PlaceOn(monitors, static_cast<int>(i), x, y)) return place;
  }
  return std::nullopt;
}

void PointerSampler::SetMonitors(std::vector<MonitorRect> monitors) {
  monitors_ = std::move(monitors);
  if (monitors_.empty()) return;
  bounds_ = monitors_.front();
  for (const MonitorRect& m : monitors_) {
    bounds_.left = std::min(bounds_.left, m.left);
    bounds_.top = std::min(bounds_.top, m.top);
    bounds_.right = std::max(bounds_.right, m.right);
    bounds_.bottom = std::max(bounds_.bottom, m.bottom);
  }
}

std::optional<PointerEvent> PointerSampler::Sample(int x, int y) {
  if (monitors_.empty()) return std::nullopt;
  const int dx = x - lastX_, dy = y - lastY_;
  lastX_ = x;
  lastY_ = y;
  // A touch counts only on the tick the pointer arrives; pushing on against
  // the edge leaves the position, and so the event, unchanged.  The marks
  // stay as they were.
  if (const auto place = TouchPlaceAt(monitors_, x, y);
      place && ((place->inColumn && dx != 0) || (place->inRow && dy != 0)))
    return PointerEvent{place->event, place->monitor};
  return Stroke(x, y, dx, dy);
}

std::optional<PointerEvent> PointerSampler::Stroke(int x, int y, int dx, int dy) {
  // After a stroke the mark it was measured from goes to the far side of
  // all monitors, so that the next stroke the same way needs a fast move
  // back first.
  const int farRight = bounds_.right - 2, farBottom = bounds_.bottom - 2;
  int horizontal = 0, vertical = 0;
  if (dx > T::kFastMove) {
    rightMark_ = x;
    if (x - leftMark_ > T::kStrokeLength) {
      horizontal = ev::kRight;
      leftMark_ = farRight;
    }
  } else if (dx < -T::kFastMove) {
    leftMark_ = x;
    if (rightMark_ - x > T::kStrokeLength) {
      horizontal = ev::kLeft;
      rightMark_ = bounds_.left;
    }
  }
  if (dy > T::kFastMove) {
    downMark_ = y;
    if (y - upMark_ > T::kStrokeLength) {
      vertical = ev::kDown;
      upMark_ = farBottom;
    }
  } else if (dy < -T::kFastMove) {
    upMark_ = y;
    if (downMark_ - y > T::kStrokeLength) {
      vertical = ev::kUp;
      downMark_ = bounds_.top;
    }
  }
  // A diagonal movement that makes both is no stroke.
  if ((horizontal != 0) == (vertical != 0)) return std::nullopt;
  return PointerEvent{horizontal != 0 ? horizontal : vertical, -1};
}

}  // namespace vellumo::notes
