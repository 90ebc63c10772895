#include "notes/note_layout.h"

#include <gtest/gtest.h>

#include <vector>

namespace vellumo::notes {
namespace {

// 3 columns x 4 rows of 40 x 40 cells under an 18-pixel title bar, no partly
// visible row.
NoteGeometry ThreeByFour(bool columnMajor) { return NoteGeometry::Compute(136, 180, 18, 40, 40, columnMajor); }

TEST(NoteGeometry, MinimumSizeAndCellWidth) {
  struct Case {
    int w, h, t, itemWidth;
    int expectW, expectH, expectCellWidth, expectColumns;
  };
  const Case cases[] = {
      {40, 16, 18, 40, 40, 40, 24, 1},     // stored 20 x 10 after the window clamps, with a title bar
      {40, 16, 0, 40, 40, 22, 24, 1},      // the same without one
      {10, 100, 18, 160, 30, 100, 14, 1},  // narrower than one nominal cell: one cell fills the width
      {136, 180, 18, 40, 136, 180, 40, 3},
      {16 + 100, 100, 0, 40, 116, 100, 33, 3},  // 2.5 nominal cells round up to 3
      {16 + 99, 100, 0, 40, 115, 100, 49, 2},   // below 2.5 still 2
      {16 + 60, 100, 0, 40, 76, 100, 30, 2},    // 1.5 nominal cells round up to 2
      {16 + 59, 100, 0, 40, 75, 100, 59, 1},    // never 1.5 x the nominal width or more
  };
  for (const Case& c : cases) {
    const NoteGeometry g = NoteGeometry::Compute(c.w, c.h, c.t, c.itemWidth, 40, false);
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " t=" << c.t << " itemWidth=" << c.itemWidth);
    EXPECT_EQ(g.width, c.expectW);
    EXPECT_EQ(g.height, c.expectH);
    EXPECT_EQ(g.cellWidth, c.expectCellWidth);
    EXPECT_EQ(g.columns, c.expectColumns);
    EXPECT_LT(g.cellWidth, c.itemWidth + c.itemWidth / 2);
  }
}

TEST(NoteGeometry, TitleBarDecidesItemAreaTrackAndTitleText) {
  const NoteGeometry none = NoteGeometry::Compute(130, 180, 0, 40, 40, false);
  EXPECT_EQ(none.ItemAreaTop(), 1);
  EXPECT_EQ(none.ScrollTrack(), (PixelRect{117, 18, 127, 144}));
  EXPECT_FALSE(none.ShowsTitleText());
  const NoteGeometry low = NoteGeometry::Compute(130, 180, 8, 40, 40, false);
  EXPECT_EQ(low.ItemAreaTop(), 9);
  EXPECT_EQ(low.ScrollTrack().top, 18);
  EXPECT_FALSE(low.ShowsTitleText());
  const NoteGeometry twelve = NoteGeometry::Compute(130, 180, 12, 40, 40, false);
  EXPECT_TRUE(twelve.ShowsTitleText());
  const NoteGeometry tall = NoteGeometry::Compute(130, 180, 30, 40, 40, false);
  EXPECT_EQ(tall.ScrollTrack().top, 32);
  EXPECT_EQ(tall.TitleTextY(12, 0), 7);
  EXPECT_EQ(tall.TitleTextY(12, 3), 4);
}

TEST(NotePaging, TwentyFiveItemsOnThreeByFourCells) {
  for (const bool columnMajor : {false, true}) {
    const NoteGeometry g = ThreeByFour(columnMajor);
    ASSERT_EQ(g.columns, 3);
    ASSERT_EQ(g.rows, 4);
    const PageState pages = ComputePages(g, 25, 0);
    EXPECT_EQ(pages.pageCount, 3);
    EXPECT_EQ(pages.scrollMax, columnMajor ? 6 : 8);
    EXPECT_EQ(pages.slots, 12);
    // A stored position beyond the end is lowered; the first list position
    // advances by whole rows or columns.
    const PageState last = ComputePages(g, 25, 100);
    EXPECT_EQ(last.scrollPos, last.scrollMax);
    EXPECT_EQ(last.firstPosition, columnMajor ? 6u * 4 : 8u * 3);
  }
}

TEST(NotePaging, EmptyFullAndPartlyVisibleRow) {
  const NoteGeometry g = ThreeByFour(false);
  const PageState empty = ComputePages(g, 0, 5);
  EXPECT_EQ(empty.pageCount, 0);
  EXPECT_EQ(empty.scrollMax, 0);
  EXPECT_EQ(empty.scrollPos, 0);
  EXPECT_EQ(ComputePages(g, 12, 0).pageCount, 1);
  EXPECT_EQ(ComputePages(g, 13, 0).pageCount, 2);
  EXPECT_EQ(ComputePages(g, 100000, 0).pageCount, 4096 / 12 + 1);  // never more than 4096 items

  // 10 pixels left under the last full row: one more row of slots, row-major only.
  const NoteGeometry partly = NoteGeometry::Compute(136, 190, 18, 40, 40, false);
  EXPECT_EQ(ComputePages(partly, 30, 0).slots, 15);
  const NoteGeometry partlyColumns = NoteGeometry::Compute(136, 190, 18, 40, 40, true);
  EXPECT_EQ(ComputePages(partlyColumns, 30, 0).slots, 12);
  // A huge window of tiny cells never fills more than 4096 slots.
  const NoteGeometry huge = NoteGeometry::Compute(3000, 3000, 0, 8, 8, false);
  EXPECT_EQ(ComputePages(huge, 4096, 0).slots, 4096);
}

TEST(NoteGeometry, CellRectanglesInBothArrangements) {
  const NoteGeometry rows = ThreeByFour(false);
  EXPECT_EQ(rows.CellRect(0), (PixelRect{2, 20, 42, 60}));
  EXPECT_EQ(rows.CellRect(4), (PixelRect{42, 60, 82, 100}));  // row 1, column 1
  const NoteGeometry columns = ThreeByFour(true);
  EXPECT_EQ(columns.CellRect(4), (PixelRect{42, 20, 82, 60}));  // column 1, row 0
  // The last row is cut at H - 2.
  const NoteGeometry partly = NoteGeometry::Compute(136, 190, 18, 40, 40, false);
  EXPECT_EQ(partly.CellRect(12).bottom, 188);
  const NoteGeometry untitled = NoteGeometry::Compute(136, 180, 0, 40, 40, false);
  EXPECT_EQ(untitled.CellRect(0).top, 2);
}

TEST(NoteGeometry, CellFromPointBounds) {
  const NoteGeometry rows = ThreeByFour(false);     // cells x 2..122, item area from y 19
  const NoteGeometry columns = ThreeByFour(true);
  struct Case {
    int x, y, rowMajor, columnMajor;
  };
  const Case cases[] = {
      {1, 30, -1, -1},      // x must be above 1
      {2, 30, 0, 0},
      {120, 30, 2, 8},      // x = 3 x 40 is the last column's last pixel
      {121, 30, -1, -1},
      {50, 18, -1, -1},     // inside the title bar
      {50, 19, 1, 4},       // first line of the item area
      {50, 59, 1, 4},
      {50, 60, 4, 5},       // 1 + 40 pixels down: the second row
      {50, 176, 10, 7},     // the last full row
      {50, 177, -1, -1},    // y must be at most H - 4
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "(" << c.x << ", " << c.y << ")");
    EXPECT_EQ(rows.CellFromPoint(c.x, c.y), c.rowMajor);
    EXPECT_EQ(columns.CellFromPoint(c.x, c.y), c.columnMajor);
  }
  // Below the last full row a partly visible row goes on in row-major
  // order; column-major order has no such row.
  const NoteGeometry partly = NoteGeometry::Compute(136, 190, 18, 40, 40, false);
  const NoteGeometry partlyColumns = NoteGeometry::Compute(136, 190, 18, 40, 40, true);
  EXPECT_EQ(partly.CellFromPoint(50, 185), 13);
  EXPECT_EQ(partlyColumns.CellFromPoint(50, 185), -1);
  // The index of every cell's top-left inner pixel maps back to that cell.
  for (int i = 0; i < 12; ++i) {
    const PixelRect r = rows.CellRect(i);
    EXPECT_EQ(rows.CellFromPoint(r.left, r.top), i) << i;
    const PixelRect c = columns.CellRect(i);
    EXPECT_EQ(columns.CellFromPoint(c.left, c.top), i) << i;
  }
  // Tiny cells in a huge window: indexes above 4096 are refused.
  const NoteGeometry huge = NoteGeometry::Compute(3000, 3000, 0, 8, 8, false);
  EXPECT_EQ(huge.CellFromPoint(2, 2998 - 4), -1);
}

TEST(EdgeButtons, PlacementAndHiddenWhenTooLow) {
  const NoteGeometry g = NoteGeometry::Compute(130, 180, 18, 40, 40, false);
  struct Case {
    int id;
    PixelRect target;
    int glyphColumn;
  };
  const Case cases[] = {{kCloseButton, {117, 5, 128, 16}, 0},
                        {kResizeGrip, {117, 167, 128, 178}, 33},
                        {kPageUpButton, {117, 146, 128, 157}, 11},
                        {kPageDownButton, {117, 157, 128, 168}, 22}};
  for (const Case& c : cases) {
    const auto placement = g.EdgeButton(c.id);
    ASSERT_TRUE(placement) << c.id;
    EXPECT_EQ(placement->target, c.target) << c.id;
    EXPECT_EQ(placement->glyphColumn, c.glyphColumn);
    EXPECT_FALSE(g.EdgeButtonCoversClose(c.id));
  }
  EXPECT_FALSE(g.EdgeButton(5));

  // 30 pixels high without a title bar: page up would start above y = 5.
  const NoteGeometry low = NoteGeometry::Compute(130, 30, 0, 40, 40, false);
  EXPECT_FALSE(low.EdgeButton(kPageUpButton));
  ASSERT_TRUE(low.EdgeButton(kPageDownButton));
  EXPECT_EQ(low.EdgeButton(kPageDownButton)->target.top, 7);
  EXPECT_TRUE(low.EdgeButtonCoversClose(kPageDownButton));
  EXPECT_FALSE(low.EdgeButtonCoversClose(kCloseButton));

  // With a tall title bar, a bottom glyph that would sit in it moves below it
  // and is cut by the bottom edge.
  const NoteGeometry titled = NoteGeometry::Compute(130, 52, 30, 40, 40, false);
  const auto pageUp = titled.EdgeButton(kPageUpButton);
  ASSERT_TRUE(pageUp);
  EXPECT_EQ(pageUp->target.top, 31);
  EXPECT_EQ(pageUp->target.bottom, 42);
}

TEST(ScrollBar, ThumbFollowsPositionAndBandsSelectPages) {
  const NoteGeometry g = ThreeByFour(false);
  const PixelRect track = g.ScrollTrack();  // 20 .. 144
  PageState pages = ComputePages(g, 25, 0);
  auto thumb = ScrollThumbFor(track, pages);
  ASSERT_TRUE(thumb);
  EXPECT_EQ(thumb->top, track.top);
  EXPECT_EQ(thumb->bottom - thumb->top, (track.bottom - track.top) / 3);
  pages = ComputePages(g, 25, pages.scrollMax);
  thumb = ScrollThumbFor(track, pages);
  ASSERT_TRUE(thumb);
  EXPECT_EQ(thumb->bottom, track.bottom);

  EXPECT_FALSE(ScrollThumbFor(track, ComputePages(g, 12, 0)));
  EXPECT_FALSE(ScrollThumbFor(track, ComputePages(g, 0, 0)));
  // Many pages: the thumb keeps 3 pixels.
  const NoteGeometry tiny = NoteGeometry::Compute(30, 100, 0, 40, 8, false);
  const PageState many = ComputePages(tiny, 4096, 0);
  EXPECT_EQ(ScrollThumbFor(tiny.ScrollTrack(), many)->bottom - tiny.ScrollTrack().top, 3);

  // 125 pixels in three bands of 41.67.
  EXPECT_EQ(ScrollBandAt(track, 3, track.top), 0);
  EXPECT_EQ(ScrollBandAt(track, 3, track.top + 41), 0);
  EXPECT_EQ(ScrollBandAt(track, 3, track.top + 42), 1);
  EXPECT_EQ(ScrollBandAt(track, 3, track.bottom), 2);
  EXPECT_EQ(ScrollBandAt(track, 0, track.top), -1);
}

TEST(TextFitting, CountsCharactersWhoseAdvanceFitsAndCentres) {
  const std::vector<int> advances = {10, 20, 30, 40};
  struct Case {
    int width, fitted, offset;
  };
  const Case cases[] = {{8, 0, 4}, {9, 1, -0}, {19, 2, 0}, {28, 2, 4}, {29, 3, 0}, {100, 4, 30}, {-5, 0, -2}};
  for (const Case& c : cases) {
    EXPECT_EQ(FitCount(advances, c.width), c.fitted) << c.width;
    EXPECT_EQ(CentringOffset(advances, c.fitted, c.width), c.offset) << c.width;
  }
  std::vector<int> longText(400);
  for (std::size_t i = 0; i < longText.size(); ++i) longText[i] = static_cast<int>(i) + 1;
  EXPECT_EQ(FitCount(longText, 100000), kMaxFittedChars);
}

TEST(TextFitting, OrderingPrefixIsHidden) {
  EXPECT_EQ(WithoutOrderingPrefix(u"001|记事本"), u"记事本");
  EXPECT_EQ(WithoutOrderingPrefix(u"记事本"), u"记事本");
  EXPECT_EQ(WithoutOrderingPrefix(u"a|b|c"), u"b|c");
  EXPECT_EQ(WithoutOrderingPrefix(u"tail|"), u"");
}

TEST(WindowPlacement, StoredGeometryIsKeptOnTheScreen) {
  constexpr int kScreenWidth = 1278, kScreenHeight = 798;
  struct Case {
    StoredGeometry stored;
    bool remember;
    int cursorX, cursorY;
    WindowPlacement expect;
  };
  const Case cases[] = {
      {{100, 200, 130, 180}, true, 0, 0, {100, 200, 130, 180}},
      {{100, 200, 20, 10}, true, 0, 0, {100, 200, 40, 16}},                 // minimum size
      {{-50, -7, 130, 180}, true, 0, 0, {3, 3, 130, 180}},                  // never nearer than 3 to the corner
      {{5000, 5000, 130, 180}, true, 0, 0, {1278 - 131, 798 - 181, 130, 180}},  // off screen
      {{0, 0, 9000, 9000}, true, 0, 0, {3, 3, 1278, 798}},                  // larger than the screen
      {{100, 200, 130, 180}, false, 640, 400, {575, 310, 130, 180}},       // centred on the pointer
      {{100, 200, 131, 181}, false, 640, 400, {575, 310, 131, 181}},       // integer halves
      {{100, 200, 130, 180}, false, 1270, 790, {1278 - 131, 798 - 181, 130, 180}},  // pushed back on
      {{100, 200, 130, 180}, false, 2, 2, {3, 3, 130, 180}},
  };
  for (const Case& c : cases) {
    const WindowPlacement p = PlaceWindow(c.stored, c.remember, c.cursorX, c.cursorY, kScreenWidth, kScreenHeight);
    SCOPED_TRACE(testing::Message() << c.stored.x << "," << c.stored.y << " " << c.stored.width << "x"
                                    << c.stored.height << " remember=" << c.remember);
    EXPECT_EQ(p.x, c.expect.x);
    EXPECT_EQ(p.y, c.expect.y);
    EXPECT_EQ(p.width, c.expect.width);
    EXPECT_EQ(p.height, c.expect.height);
  }
}

TEST(WindowPlacement, SeveralMonitorsPlaceOnTheMonitorOfThePointerOrOfTheStoredPlace) {
  // The primary 1280 x 800 at the origin, a 1024 x 768 monitor left of it
  // and a 1920 x 1080 one right of it.
  const MonitorRect monitors[] = {{0, 0, 1280, 800}, {-1024, 0, 0, 768}, {1280, -100, 3200, 980}};
  struct Case {
    StoredGeometry stored;
    bool remember;
    int cursorX, cursorY;
    WindowPlacement expect;
  };
  const Case cases[] = {
      {{0, 0, 130, 180}, false, -500, 400, {-565, 310, 130, 180}},        // centred on the left monitor
      {{0, 0, 130, 180}, false, -1020, 10, {-1021, 3, 130, 180}},         // kept 3 pixels from its corner
      {{0, 0, 130, 180}, false, 3190, 970, {3200 - 2 - 131, 980 - 2 - 181, 130, 180}},  // pushed back on
      {{0, 0, 3000, 3000}, false, 2000, 0, {1283, -97, 1918, 1078}},      // as large as that monitor
      {{2000, 500, 130, 180}, true, 10, 10, {2000, 500, 130, 180}},       // remembered on the right monitor
      {{-2000, 300, 130, 180}, true, 10, 10, {-1021, 300, 130, 180}},     // nearest: the left one
      {{100, 200, 130, 180}, true, -500, 400, {100, 200, 130, 180}},      // the pointer does not matter
  };
  for (const Case& c : cases) {
    const WindowPlacement p = PlaceWindowOnMonitors(monitors, c.stored, c.remember, c.cursorX, c.cursorY, 1278, 798);
    SCOPED_TRACE(testing::Message() << c.stored.x << "," << c.stored.y << " cursor " << c.cursorX << ","
                                    << c.cursorY << " remember=" << c.remember);
    EXPECT_EQ(p.x, c.expect.x);
    EXPECT_EQ(p.y, c.expect.y);
    EXPECT_EQ(p.width, c.expect.width);
    EXPECT_EQ(p.height, c.expect.height);
  }
  // One monitor: exactly the single-screen rules.
  const MonitorRect one[] = {{0, 0, 1280, 800}};
  const StoredGeometry stored{5000, 5000, 130, 180};
  const WindowPlacement single = PlaceWindowOnMonitors(one, stored, true, 0, 0, 1278, 798);
  const WindowPlacement plain = PlaceWindow(stored, true, 0, 0, 1278, 798);
  EXPECT_EQ(single.x, plain.x);
  EXPECT_EQ(single.y, plain.y);
}

TEST(CellComposition, IconAndTextPlacement) {
  const CellComposition right = ComposeCell(120, 24, 16, 4, true, 12, 0);
  EXPECT_TRUE(right.drawIcon);
  EXPECT_EQ(right.iconX, 4);
  EXPECT_EQ(right.iconY, 4);
  EXPECT_EQ(right.textX, 24);
  EXPECT_EQ(right.textWidth, 95);
  EXPECT_EQ(right.textY, 4);
  EXPECT_FALSE(right.centred);

  const CellComposition below = ComposeCell(60, 60, 32, 4, false, 12, 2);
  EXPECT_EQ(below.iconX, 14);
  EXPECT_EQ(below.iconY, 4);
  EXPECT_EQ(below.textX, 2);
  EXPECT_EQ(below.textWidth, 56);
  EXPECT_EQ(below.textY, 38);
  EXPECT_TRUE(below.centred);

  // Too small an icon is not drawn, but the text keeps its place.
  const CellComposition tiny = ComposeCell(120, 24, 3, 4, true, 12, 0);
  EXPECT_FALSE(tiny.drawIcon);
  EXPECT_EQ(tiny.textX, 11);
}

}  // namespace
}  // namespace vellumo::notes
