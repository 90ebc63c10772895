#pragma once
// The arithmetic of a note window: its minimum size, the grid of item cells,
// paging, the scroll bar, the four edge buttons, text fitting and where a
// window opens.  Pure integer functions of the appearance and the client
// size, so the window code only draws what these decide.
//
// Coordinates are client pixels; W x H is the whole window (it has no
// non-client area), t the title bar height.  With a title bar the item area
// starts at y = t + 1, without one at y = 1; cells start 2 pixels in.
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace vellumo::notes {

inline constexpr int kMaxCells = 4096;

struct PixelRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const PixelRect&) const = default;
};

// Edge buttons, anchored to the right edge (and the bottom edge for the
// last three).
enum EdgeButtonId : int { kCloseButton = 1, kResizeGrip = 2, kPageUpButton = 3, kPageDownButton = 4 };
inline constexpr int kEdgeGlyphSize = 11;

struct EdgeButtonPlacement {
  PixelRect target;     // where the glyph goes in the frame
  int glyphColumn = 0;  // x of the glyph in the strip; the state selects the row
};

// Relayout's grid for one client size.
struct NoteGeometry {
  int width = 0, height = 0;  // W, H after the minimum size was applied
  int titleBar = 0;           // t
  int cellWidth = 1, cellHeight = 1;
  int columns = 1, rows = 1;
  bool columnMajor = false;

  // Raises the requested size to the minimum and splits the width into
  // cells that stretch to fill it but never reach 1.5 x itemWidth.
  static NoteGeometry Compute(int requestedWidth, int requestedHeight, int titleBar, int itemWidth, int itemHeight,
                              bool columnMajor);

  int ItemAreaTop() const { return titleBar > 0 ? titleBar + 1 : 1; }
  int CellsPerPage() const { return rows * columns; }
  // The rectangle of cell `index` (row-major or column-major), its bottom
  // cut at H - 2.
  PixelRect CellRect(int index) const;
  // Client point to cell index, -1 outside the cells.
  int CellFromPoint(int x, int y) const;
  PixelRect ScrollTrack() const;
  // Where an edge button's glyph goes; nothing when it is not drawn (a
  // bottom-anchored glyph that would start above y = 5).
  std::optional<EdgeButtonPlacement> EdgeButton(int id) const;
  // A bottom-anchored glyph that lands above the close glyph's bottom
  // overlaps it: the close glyph is drawn again afterwards.
  bool EdgeButtonCoversClose(int id) const;
  // A title bar of 11 pixels or less is too low for its text.
  bool ShowsTitleText() const { return titleBar > 11; }
  // Top of the title text.
  int TitleTextY(int titleFontSize, int titleTextOffset) const;
};

// Repage's view of the note's item list.
struct PageState {
  int pageCount = 0;
  int scrollMax = 0;
  int scrollPos = 0;  // first visible row (row-major) or column (column-major)
  int slots = 0;      // cells to fill, a partly visible row included
  std::uint32_t firstPosition = 0;  // list position of cell 0
};

PageState ComputePages(const NoteGeometry& geometry, std::uint32_t itemCount, int scrollPos);

struct ScrollThumb {
  int top = 0, bottom = 0;
};
// Nothing when the note has one page or none.
std::optional<ScrollThumb> ScrollThumbFor(const PixelRect& track, const PageState& pages);
// The band of the track under client y, cut into pageCount equal bands;
// -1 when the note has no pages.
int ScrollBandAt(const PixelRect& track, int pageCount, int y);

// How many leading characters fit in `width`, given the cumulative advance
// after each character: those whose advance minus 1 is at most the width.
int FitCount(std::span<const int> cumulativeAdvances, int width);
inline constexpr int kMaxFittedChars = 250;
// Half of the room left beside the n fitted characters (truncated).
int CentringOffset(std::span<const int> cumulativeAdvances, int fitted, int width);

// A title shows without its ordering prefix: everything up to and including
// the first "|".
std::u16string_view WithoutOrderingPrefix(std::u16string_view title);

// Where a new window opens: the stored geometry clamped to the screen,
// either at the stored position or centred on the pointer, then kept on the
// screen and at least 3 pixels from its top-left corner.
struct StoredGeometry {
  std::int32_t x = 0, y = 0, width = 130, height = 180;
};
struct WindowPlacement {
  int x = 0, y = 0, width = 0, height = 0;
};
WindowPlacement PlaceWindow(const StoredGeometry& stored, bool rememberPosition, int cursorX, int cursorY,
                            int screenWidth, int screenHeight);

// With several monitors a window opens on one of them, placed by the same
// rules within that monitor: the one under the pointer for a window centred
// on it, the one nearest the stored rectangle for a remembered position.
// Monitors are given by their rectangles in screen coordinates (right and
// bottom exclusive); with none, or one at the origin, this is PlaceWindow on
// the given extents.
struct MonitorRect {
  int left = 0, top = 0, right = 0, bottom = 0;
};
WindowPlacement PlaceWindowOnMonitors(std::span<const MonitorRect> monitors, const StoredGeometry& stored,
                                      bool rememberPosition, int cursorX, int cursorY, int screenWidth,
                                      int screenHeight);

// Cell composition inside the cell buffer (origin 0, 0).
struct CellComposition {
  int iconX = 0, iconY = 0;
  bool drawIcon = false;
  int textX = 0, textY = 0;  // textX before the centring offset when the text is below
  int textWidth = 0;         // the width FitText works with
  bool centred = false;
};
CellComposition ComposeCell(int cellWidth, int cellHeight, int iconSize, int iconMargin, bool textRight,
                            int iconFontSize, int iconTextOffset);

}  // namespace vellumo::notes
