#pragma once
// The numbers pop-up triggers are made of: the pointer events the sampler
// reports to the recogniser, and the tuning both of them share, fixed at
// build time.
#include <cstdint>

namespace vellumo::notes {

namespace pointer_event {
// Strokes: a fast move far enough along one axis.
inline constexpr int kUp = 5, kDown = 6, kLeft = 7, kRight = 8;
// Touches of an outer corner or edge.
inline constexpr int kTopLeft = 9, kBottomLeft = 10, kTopRight = 11, kBottomRight = 12;
inline constexpr int kLeftEdge = 13, kRightEdge = 14, kTopEdge = 15, kBottomEdge = 16;
}  // namespace pointer_event

struct TriggerTuning {
  static constexpr int kCornerMargin = 160;             // an edge counts only farther than this from both of its ends
  static constexpr int kFastMove = 16;                  // pixels per tick along an axis
  static constexpr int kStrokeLength = 50;              // from the last fast move the other way
  static constexpr std::uint32_t kGestureGapMs = 400;   // between two events of one gesture
  static constexpr std::uint32_t kGestureAgeMs = 1000;  // of any event of one gesture
  static constexpr std::uint32_t kQuietMs = 400;        // after a trigger
  static constexpr int kStrokes = 3;                    // up-down and left-right
  static constexpr int kQuarterTurns = 4;               // clockwise and counter-clockwise
  static constexpr int kEdgeTouches = 1;
  static constexpr int kCornerTouches = 1;
};

}  // namespace vellumo::notes
