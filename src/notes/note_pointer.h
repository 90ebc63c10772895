#pragma once
// What the pointer does in a note window, decided from plain numbers: which
// edge button or scroll band is under it, what a press starts, what a
// release finishes, and when a window left alone hides.  The window code
// reads the pointer and the clock, asks here, and carries the answer out.
#include <cstdint>

#include "notes/note_layout.h"

namespace vellumo::notes {

// What the held button is doing, from press to release.
enum PressMode : int {
  kPressNone = 0,
  kPressMove = 1,      // dragging the window
  kPressResize = 2,    // dragging the resize grip
  kPressButton = 3,    // an edge button is held
  kPressScrollbar = 4,  // dragging in the scroll track
  kPressCell = 5,      // an item cell (empty or not) is held
  kPressTitleRight = 6,  // the right button on the title bar
};

// The first edge button whose 12 x 12 area (bounds inclusive) holds the
// client point; -1 for none.  A glyph too low to be drawn is never hit.
[[nodiscard]] int EdgeButtonAt(const NoteGeometry& geometry, int x, int y);
[[nodiscard]] bool InRect(const PixelRect& r, int x, int y);  // bounds inclusive

// The scroll position the band under y selects, or -1 when it selects none
// (one page, outside the bands, the position it already has).
[[nodiscard]] int ScrollPosForBand(const PixelRect& track, int pageCount, int scrollMax, int scrollPos,
                                   int stepPerPage, int y);

struct PressInput {
  bool right = false;
  int y = 0;
  int titleBar = 0;
  int button = -1;  // EdgeButtonAt
  bool inScrollTrack = false;
  int cell = -1;  // CellFromPoint
  // The previous press was at exactly this point, less than 500 ms ago.
  bool repeatsPreviousPress = false;
};
struct PressDecision {
  PressMode mode = kPressNone;
  // A left double click on the title bar: collapse mode toggles.
  bool titleDoubleClick = false;
};
[[nodiscard]] PressDecision DecidePress(const PressInput& in);

enum class ReleaseAction {
  None,
  EdgeButton,        // redraw the button hovered; `actOnButton` says whether it acts
  OpenEditor,        // right click on a cell; item 0 opens it for a new item
  CloseAll,          // right click on the close button
  ToggleManagement,  // right click anywhere else off the cells and off the title bar
  Capture,           // right click on the title bar
  EmptyClick,        // first click on an empty cell
  EmptyDoubleClick,  // second click on an empty cell within 500 ms
  RunItem,
  EndItemDrag,
};
struct ReleaseInput {
  bool right = false;
  PressMode mode = kPressNone;
  int button = -1;  // EdgeButtonAt at the release point
  int cell = -1;    // CellFromPoint at the release point
  int highlightedCell = -1;
  std::uint32_t cellItem = 0;  // the item in `cell`, 0 for an empty cell
  bool atPressPoint = false;
  std::uint32_t msSincePress = 0;
  std::uint32_t msSinceEmptyClick = 0;
  bool inTitleBar = false;  // 0 <= x <= client width and 0 <= y <= title bar height
  bool draggingOut = false;
};
struct ReleaseDecision {
  ReleaseAction action = ReleaseAction::None;
  bool actOnButton = false;  // EdgeButton: the press began on an edge button
};
[[nodiscard]] ReleaseDecision DecideRelease(const ReleaseInput& in);

// The auto-hide check of every tick.  Ticks are compared by their signed
// difference, so a leave time set in the future (a window just opened)
// waits for it and the 49-day wrap of the clock changes nothing.
enum class AutoHideStep { Nothing, Hide, Leave };
struct AutoHideDecision {
  AutoHideStep step = AutoHideStep::Nothing;
  bool leaveTickCleared = false;
  bool stopHoverScroll = false;
};
inline constexpr std::int32_t kAutoHideMs = 600;
inline constexpr std::int32_t kHoverScrollGraceMs = 400;
[[nodiscard]] AutoHideDecision CheckAutoHide(std::uint32_t leaveTick, std::uint32_t now, bool keepOpen);

[[nodiscard]] inline std::int32_t TicksSince(std::uint32_t since, std::uint32_t now) {
  return static_cast<std::int32_t>(now - since);
}

}  // namespace vellumo::notes
