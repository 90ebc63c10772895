#include "notes/pointer_triggers.h"

#include <algorithm>

namespace vellumo::notes {

namespace {

using T = TriggerTuning;
namespace ev = pointer_event;

bool Inside(std::span<const MonitorRect> monitors, int x, int y) {
  return std::any_of(monitors.begin(), monitors.end(),
                     [x, y](const MonitorRect& m) { return x >= m.left && x < m.right && y >= m.top && y < m.bottom; });
}

bool IsVertical(int e) { return e == ev::kUp || e == ev::kDown; }
bool IsHorizontal(int e) { return e == ev::kLeft || e == ev::kRight; }
bool IsTouch(int e) { return e >= ev::kTopLeft && e <= ev::kBottomEdge; }

}  // namespace

std::optional<PointerEvent> TouchAt(std::span<const MonitorRect> monitors, int x, int y, bool movedX, bool movedY) {
  for (std::size_t i = 0; i < monitors.size(); ++i) {
    const MonitorRect& m = monitors[i];
    if (x < m.left || x >= m.right || y < m.top || y >= m.bottom) continue;
    // In the monitor's own terms: SW and SH are its size minus 2, so
    // "beyond SW" is its last column.
    const int rx = x - m.left, ry = y - m.top;
    const int sw = m.right - m.left - 2, sh = m.bottom - m.top - 2;
    const bool innerX = rx > T::kCornerMargin && rx < sw - T::kCornerMargin;
    const bool innerY = ry > T::kCornerMargin && ry < sh - T::kCornerMargin;
    // An edge is a trigger place only where no other monitor continues it.
    const bool leftOuter = rx == 0 && !Inside(monitors, x - 1, y);
    const bool rightOuter = rx > sw && !Inside(monitors, x + 1, y);
    const bool topOuter = ry == 0 && !Inside(monitors, x, y - 1);
    const bool bottomOuter = ry > sh && !Inside(monitors, x, y + 1);
    int event = 0;
    if (leftOuter && movedX) {
      if (innerY) event = ev::kLeftEdge;
      if (topOuter) event = ev::kTopLeft;
      if (bottomOuter) event = ev::kBottomLeft;
    } else if (rightOuter && movedX) {
      if (innerY) event = ev::kRightEdge;
      if (topOuter) event = ev::kTopRight;
      if (bottomOuter) event = ev::kBottomRight;
    }
    // The row test comes second and its result stands.
    if (topOuter && movedY) {
      if (innerX) event = ev::kTopEdge;
      if (leftOuter) event = ev::kTopLeft;
      if (rightOuter) event = ev::kTopRight;
    } else if (bottomOuter && movedY) {
      if (innerX) event = ev::kBottomEdge;
      if (leftOuter) event = ev::kBottomLeft;
      if (rightOuter) event = ev::kBottomRight;
    }
    if (event == 0) return std::nullopt;
    return PointerEvent{event, static_cast<int>(i)};
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
  if (auto touch = TouchAt(monitors_, x, y, dx != 0, dy != 0)) return touch;

  // Marks are reset to the far side of all monitors, as the single screen
  // resets them to its own far side.
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

int GestureRecogniser::Feed(int event, std::uint32_t now) {
  if (triggered_ && now - lastTrigger_ < T::kQuietMs) {
    // Quiet after a trigger: each event inside it keeps it going, until one
    // comes 300 ms or more after the one before.
    lastTrigger_ = now - 100;
    return 0;
  }
  for (std::size_t i = history_.size() - 1; i > 0; --i) history_[i] = history_[i - 1];
  history_[0] = {event, now};

  int horizontalStrokes = 0, verticalStrokes = 0, turnsAfterVertical = 0, turnsAfterHorizontal = 0;
  int clockwise = 0, counterClockwise = 0;
  std::array<int, 17> touches{};
  for (std::size_t pair = 0; pair + 1 < history_.size(); ++pair) {
    const Entry& newer = history_[pair];
    const Entry& older = history_[pair + 1];
    const int n = newer.event, o = older.event;
    auto turn = [&](bool isClockwise) {
      if (isClockwise) {
        ++clockwise;
        counterClockwise = 0;
      } else {
        ++counterClockwise;
        clockwise = 0;
      }
    };
    if (IsHorizontal(n)) {
      ++horizontalStrokes;
      if (IsVertical(o)) {
        ++turnsAfterVertical;
        // down then left, or up then right, turns clockwise on the screen
        turn((o == ev::kDown && n == ev::kLeft) || (o == ev::kUp && n == ev::kRight));
      }
    } else if (IsVertical(n)) {
      ++verticalStrokes;
      if (IsHorizontal(o)) {
        ++turnsAfterHorizontal;
        turn((o == ev::kLeft && n == ev::kUp) || (o == ev::kRight && n == ev::kDown));
      }
    } else if (IsTouch(n)) {
      ++touches[static_cast<std::size_t>(n)];
      clockwise = counterClockwise = horizontalStrokes = verticalStrokes = 0;
    }

    int code = 0;
    if (touches[ev::kLeftEdge] >= 1) code = 8;
    else if (touches[ev::kRightEdge] >= 1) code = 9;
    else if (touches[ev::kTopEdge] >= 1) code = 6;
    else if (touches[ev::kBottomEdge] >= 1) code = 11;
    else if (touches[ev::kTopLeft] >= 1) code = 5;
    else if (touches[ev::kTopRight] >= 1) code = 7;
    else if (touches[ev::kBottomLeft] >= 1) code = 10;
    else if (touches[ev::kBottomRight] >= 1) code = 12;
    else if (clockwise >= T::kQuarterTurns) code = 3;
    else if (counterClockwise >= T::kQuarterTurns) code = 4;
    else if (horizontalStrokes >= T::kStrokes && turnsAfterVertical == 0) code = 2;
    else if (verticalStrokes >= T::kStrokes && turnsAfterHorizontal == 0) code = 1;
    if (code != 0) {
      lastTrigger_ = now;
      triggered_ = true;
      history_[0].time = 0;  // no later walk goes past this event
      return code;
    }
    if (newer.time - older.time > T::kGestureGapMs || now - older.time > T::kGestureAgeMs) break;
  }
  return 0;
}

}  // namespace vellumo::notes
