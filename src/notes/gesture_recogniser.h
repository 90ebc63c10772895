#pragma once
// Turns pointer events into trigger codes: 1 up-down, 2 left-right,
// 3 clockwise, 4 counter-clockwise, 5..12 the corners and edges.  It keeps
// the last 16 events with their times and reads gestures off them, newest
// first.  After a trigger it stays quiet for a while; the caller decides
// whether a trigger opens anything, the quiet time follows it either way.
#include <array>
#include <cstdint>

namespace vellumo::notes {

class GestureRecogniser {
 public:
  // `now` in milliseconds, a wrapping tick count.  Trigger code, or 0.
  int Feed(int event, std::uint32_t now);

 private:
  struct Entry {
    int event = 0;
    std::uint32_t time = 0;
  };
  std::array<Entry, 16> history_{};
  std::uint32_t lastTrigger_ = 0;
  bool triggered_ = false;  // lastTrigger_ means nothing before the first
};

}  // namespace vellumo::notes
