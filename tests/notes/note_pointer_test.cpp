#include "notes/note_pointer.h"

#include <gtest/gtest.h>

namespace vellumo::notes {
namespace {

// 220 x 200 with a 20-pixel title bar: the glyphs sit 13 pixels in from the
// right edge, close at the top, the others 34, 23 and 13 pixels up from
// the bottom.
NoteGeometry Window(int width = 220, int height = 200) {
  return NoteGeometry::Compute(width, height, 20, 120, 24, false);
}

TEST(EdgeButtonAt, TwelvePixelAreasWithInclusiveBounds) {
  const NoteGeometry g = Window();
  struct Case {
    int x, y, button;
  };
  const Case cases[] = {
      {207, 5, kCloseButton},      {218, 16, kCloseButton},       {219, 16, -1},  {206, 10, -1},
      {210, 4, -1},                {210, 166, kPageUpButton},     {210, 177, kPageUpButton},      {210, 178, kPageDownButton},
      {210, 187, kResizeGrip},     {218, 198, kResizeGrip},       {210, 199, -1}, {100, 100, -1},
  };
  for (const Case& c : cases) EXPECT_EQ(EdgeButtonAt(g, c.x, c.y), c.button) << c.x << "," << c.y;
}

TEST(EdgeButtonAt, OverlappingAreasGoToTheFirstButtonAndUndrawnGlyphsAreNeverHit) {
  // 22 pixels high without a title bar: the page buttons would start above
  // y = 5 and are not drawn; the grip overlaps the close button.
  const NoteGeometry low = NoteGeometry::Compute(100, 22, 0, 120, 24, false);
  for (int y = 0; y <= 22; ++y) {
    EXPECT_NE(EdgeButtonAt(low, 90, y), kPageUpButton) << y;
    EXPECT_NE(EdgeButtonAt(low, 90, y), kPageDownButton) << y;
  }
  EXPECT_EQ(EdgeButtonAt(low, 90, 16), kCloseButton);
  EXPECT_EQ(EdgeButtonAt(low, 90, 17), kResizeGrip);
}

TEST(ScrollPosForBand, TheBandUnderThePointerSelectsItsPageOnce) {
  const PixelRect track{207, 40, 218, 139};  // 100 pixels, 4 bands of 25
  struct Case {
    int pageCount, scrollPos, step, y, expected;
  };
  const Case cases[] = {
      {4, 0, 3, 40, -1},   // the first band is the position already shown
      {4, 0, 3, 64, -1},   // still the first band
      {4, 0, 3, 65, 3},    // second band: three rows on
      {4, 0, 3, 139, 9},   // the last pixel is the last band
      {4, 9, 3, 139, -1},  // already there
      {1, 0, 3, 100, -1},  // one page: the track does nothing
      {4, 0, 3, 39, -1},   // above the track: no band
  };
  for (const Case& c : cases)
    EXPECT_EQ(ScrollPosForBand(track, c.pageCount, 9, c.scrollPos, c.step, c.y), c.expected) << c.y;
}

TEST(DecidePress, ModeByWhereAndWhichButton) {
  struct Case {
    const char* what;
    PressInput in;
    PressMode mode;
    bool titleDoubleClick;
  };
  const Case cases[] = {
      {"left on the title", {false, 10, 20, -1, false, -1, false}, kPressMove, false},
      {"left double click on the title", {false, 20, 20, -1, false, -1, true}, kPressMove, true},
      {"right on the title", {true, 10, 20, -1, false, -1, false}, kPressTitleRight, false},
      {"right on the close button", {true, 10, 20, kCloseButton, false, -1, false}, kPressMove, false},
      {"right on a cell", {true, 50, 20, -1, false, 2, false}, kPressMove, false},
      {"left on the grip", {false, 190, 20, kResizeGrip, false, -1, false}, kPressResize, false},
      {"left on page down", {false, 180, 20, kPageDownButton, true, -1, false}, kPressButton, false},
      {"left on the close button", {false, 10, 20, kCloseButton, false, -1, false}, kPressButton, false},
      {"left in the track", {false, 80, 20, -1, true, -1, false}, kPressScrollbar, false},
      {"left on a cell", {false, 50, 20, -1, false, 0, false}, kPressCell, false},
      {"left on the margin", {false, 50, 20, -1, false, -1, false}, kPressMove, false},
      {"a repeat off the title is no double click", {false, 50, 20, -1, false, 0, true}, kPressCell, false},
  };
  for (const Case& c : cases) {
    const PressDecision d = DecidePress(c.in);
    EXPECT_EQ(d.mode, c.mode) << c.what;
    EXPECT_EQ(d.titleDoubleClick, c.titleDoubleClick) << c.what;
  }
}

TEST(DecideRelease, RightClicks) {
  // A right click counts only released at the very press point within a second.
  auto right = [](PressMode mode, int button, int cell, bool atPoint, std::uint32_t ms, bool inTitle) {
    ReleaseInput in;
    in.right = true;
    in.mode = mode;
    in.button = button;
    in.cell = cell;
    in.atPressPoint = atPoint;
    in.msSincePress = ms;
    in.inTitleBar = inTitle;
    return DecideRelease(in).action;
  };
  EXPECT_EQ(right(kPressMove, -1, 3, true, 100, false), ReleaseAction::OpenEditor);
  EXPECT_EQ(right(kPressMove, -1, 3, false, 100, false), ReleaseAction::None);
  EXPECT_EQ(right(kPressMove, -1, 3, true, 1000, false), ReleaseAction::None);
  EXPECT_EQ(right(kPressMove, kCloseButton, -1, true, 100, true), ReleaseAction::CloseAll);
  EXPECT_EQ(right(kPressMove, kPageUpButton, -1, true, 100, false), ReleaseAction::ToggleManagement);
  EXPECT_EQ(right(kPressMove, -1, -1, true, 100, false), ReleaseAction::ToggleManagement);
  EXPECT_EQ(right(kPressTitleRight, -1, -1, true, 100, true), ReleaseAction::Capture);
  EXPECT_EQ(right(kPressTitleRight, -1, -1, true, 100, false), ReleaseAction::None);
}

TEST(DecideRelease, LeftClicks) {
  auto left = [](PressMode mode, int button, int cell, int highlighted, std::uint32_t item, std::uint32_t ms,
                 std::uint32_t msSinceEmpty, bool dragging) {
    ReleaseInput in;
    in.mode = mode;
    in.button = button;
    in.cell = cell;
    in.highlightedCell = highlighted;
    in.cellItem = item;
    in.msSincePress = ms;
    in.msSinceEmptyClick = msSinceEmpty;
    in.draggingOut = dragging;
    return DecideRelease(in);
  };
  EXPECT_EQ(left(kPressCell, -1, 2, 2, 7, 999, 9999, false).action, ReleaseAction::RunItem);
  EXPECT_EQ(left(kPressCell, -1, 2, 2, 7, 1000, 9999, false).action, ReleaseAction::None);  // held too long
  EXPECT_EQ(left(kPressCell, -1, 2, 2, 0, 100, 500, false).action, ReleaseAction::EmptyClick);
  EXPECT_EQ(left(kPressCell, -1, 2, 2, 0, 100, 499, false).action, ReleaseAction::EmptyDoubleClick);
  EXPECT_EQ(left(kPressCell, -1, 4, 2, 7, 100, 9999, true).action, ReleaseAction::EndItemDrag);
  EXPECT_EQ(left(kPressCell, -1, -1, 2, 0, 100, 9999, true).action, ReleaseAction::EndItemDrag);
  EXPECT_EQ(left(kPressMove, -1, 4, -1, 7, 100, 9999, false).action, ReleaseAction::None);
  // Close pressed, slid to page down and released there: page down acts.
  const ReleaseDecision slid = left(kPressButton, kPageDownButton, -1, -1, 0, 100, 9999, false);
  EXPECT_EQ(slid.action, ReleaseAction::EdgeButton);
  EXPECT_TRUE(slid.actOnButton);
  // Pressed elsewhere and released over a button: only redrawn.
  EXPECT_FALSE(left(kPressMove, kCloseButton, -1, -1, 0, 100, 9999, false).actOnButton);
}

TEST(CheckAutoHide, HidesSixHundredMsAfterTheLeaveTickOrLeavesWhenKeptOpen) {
  struct Case {
    std::uint32_t leaveTick, now;
    bool keepOpen;
    AutoHideStep step;
    bool stopHoverScroll;
  };
  const Case cases[] = {
      {0, 5000, false, AutoHideStep::Nothing, false},       // no delay running
      {1000, 1600, false, AutoHideStep::Nothing, true},     // 600 ms is not yet more than 600
      {1000, 1601, false, AutoHideStep::Hide, false},
      {1000, 1601, true, AutoHideStep::Leave, false},
      {1000, 1401, false, AutoHideStep::Nothing, true},     // hover scrolling ends after 400 ms
      {1000, 1400, false, AutoHideStep::Nothing, false},
      {5200, 5000, false, AutoHideStep::Nothing, false},    // set in the future by a new window
      {0xFFFFFF00u, 0x200, false, AutoHideStep::Hide, false},  // across the wrap of the clock
  };
  for (const Case& c : cases) {
    const AutoHideDecision d = CheckAutoHide(c.leaveTick, c.now, c.keepOpen);
    EXPECT_EQ(d.step, c.step) << c.leaveTick << " " << c.now;
    EXPECT_EQ(d.leaveTickCleared, c.step != AutoHideStep::Nothing);
    EXPECT_EQ(d.stopHoverScroll, c.stopHoverScroll) << c.leaveTick << " " << c.now;
  }
}

}  // namespace
}  // namespace vellumo::notes
