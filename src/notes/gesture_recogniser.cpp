#include "notes/gesture_recogniser.h"

#include "notes/trigger_tuning.h"

namespace vellumo::notes {

namespace {

using T = TriggerTuning;
namespace ev = pointer_event;

bool IsVertical(int e) { return e == ev::kUp || e == ev::kDown; }
bool IsHorizontal(int e) { return e == ev::kLeft || e == ev::kRight; }
bool IsTouch(int e) { return e >= ev::kTopLeft && e <= ev::kBottomEdge; }

// What the walk over the history has counted so far.
struct Counts {
  int horizontalStrokes = 0, verticalStrokes = 0;
  int turnsAfterVertical = 0, turnsAfterHorizontal = 0;
  int clockwise = 0, counterClockwise = 0;  // runs of turns one way
  int touches[ev::kBottomEdge + 1] = {};

  void Turn(bool isClockwise) {
    if (isClockwise) {
      ++clockwise;
      counterClockwise = 0;
    } else {
      ++counterClockwise;
      clockwise = 0;
    }
  }

  // One pair, by its newer event.  Turns are older -> newer in screen
  // directions (y grows downward): right, down, left, up is clockwise.
  void Add(int newer, int older) {
    if (IsHorizontal(newer)) {
      ++horizontalStrokes;
      if (IsVertical(older)) {
        ++turnsAfterVertical;
        Turn((older == ev::kDown && newer == ev::kLeft) || (older == ev::kUp && newer == ev::kRight));
      }
    } else if (IsVertical(newer)) {
      ++verticalStrokes;
      if (IsHorizontal(older)) {
        ++turnsAfterHorizontal;
        Turn((older == ev::kLeft && newer == ev::kUp) || (older == ev::kRight && newer == ev::kDown));
      }
    } else if (IsTouch(newer)) {
      ++touches[newer];
      clockwise = counterClockwise = horizontalStrokes = verticalStrokes = 0;
    }
  }

  // First match wins: edges, corners, circles, shakes.
  int Decide() const {
    static constexpr struct {
      int event, code;
    } kTouchCodes[] = {
        {ev::kLeftEdge, 8}, {ev::kRightEdge, 9}, {ev::kTopEdge, 6},     {ev::kBottomEdge, 11},
        {ev::kTopLeft, 5},  {ev::kTopRight, 7},  {ev::kBottomLeft, 10}, {ev::kBottomRight, 12},
    };
    for (const auto& t : kTouchCodes) {
      const int needed = t.event >= ev::kLeftEdge ? T::kEdgeTouches : T::kCornerTouches;
      if (touches[t.event] >= needed) return t.code;
    }
    if (clockwise >= T::kQuarterTurns) return 3;
    if (counterClockwise >= T::kQuarterTurns) return 4;
    if (horizontalStrokes >= T::kStrokes && turnsAfterVertical == 0) return 2;
    if (verticalStrokes >= T::kStrokes && turnsAfterHorizontal == 0) return 1;
    return 0;
  }
};

}  // namespace

int GestureRecogniser::Feed(int event, std::uint32_t now) {
  if (triggered_ && now - lastTrigger_ < T::kQuietMs) {
    // Each event inside the quiet time draws it out, so it ends only when
    // one comes 300 ms or more after the one before.
    lastTrigger_ = now - 100;
    return 0;
  }
  for (std::size_t i = history_.size() - 1; i > 0; --i) history_[i] = history_[i - 1];
  history_[0] = {event, now};

  Counts counts;
  for (std::size_t pair = 0; pair + 1 < history_.size(); ++pair) {
    const Entry& newer = history_[pair];
    const Entry& older = history_[pair + 1];
    counts.Add(newer.event, older.event);
    if (const int code = counts.Decide(); code != 0) {
      lastTrigger_ = now;
      triggered_ = true;
      // The events of this trigger take part in no later one: from any later
      // event back to time 0 is too far, so no walk goes past this entry.
      history_[0].time = 0;
      return code;
    }
    if (newer.time - older.time > T::kGestureGapMs || now - older.time > T::kGestureAgeMs) break;
  }
  return 0;
}

}  // namespace vellumo::notes
