#include "notes/note_layout.h"

#include <algorithm>

namespace vellumo::notes {

namespace {

struct EdgeButtonAnchor {
  int id, x, y, glyphColumn;  // negative x from the right edge, negative y from the bottom
};
constexpr EdgeButtonAnchor kEdgeButtons[] = {
    {kCloseButton, -13, 5, 0}, {kResizeGrip, -13, -13, 33}, {kPageUpButton, -13, -34, 11}, {kPageDownButton, -13, -23, 22}};

// The close glyph's bottom edge.
constexpr int kCloseGlyphBottom = 16;

const EdgeButtonAnchor* FindEdgeButton(int id) {
  for (const EdgeButtonAnchor& anchor : kEdgeButtons)
    if (anchor.id == id) return &anchor;
  return nullptr;
}

}  // namespace

NoteGeometry NoteGeometry::Compute(int requestedWidth, int requestedHeight, int titleBar, int itemWidth,
                                   int itemHeight, bool columnMajor) {
  NoteGeometry g;
  g.titleBar = std::max(titleBar, 0);
  g.columnMajor = columnMajor;
  g.width = std::max(requestedWidth, 30);
  g.height = std::max(requestedHeight, g.titleBar > 0 ? g.titleBar + 22 : 22);
  // An inherited block is not clamped again; never divide by less than 1.
  itemWidth = std::max(itemWidth, 1);
  g.cellHeight = std::max(itemHeight, 1);
  const int available = g.width - 16;  // at least 14
  if (available < itemWidth) {
    g.cellWidth = available;
  } else {
    const int nominalCells = (itemWidth / 2 + available) / itemWidth;
    g.cellWidth = available / nominalCells;
  }
  g.columns = std::max((g.width - 16) / g.cellWidth, 1);
  g.rows = std::max((g.height - g.titleBar - 2) / g.cellHeight, 1);
  return g;
}

PixelRect NoteGeometry::CellRect(int index) const {
  const int row = columnMajor ? index % rows : index / columns;
  const int column = columnMajor ? index / rows : index % columns;
  PixelRect r;
  r.left = column * cellWidth + 2;
  r.top = row * cellHeight + 2 + (titleBar > 0 ? titleBar : 0);
  r.right = r.left + cellWidth;
  r.bottom = std::min(r.top + cellHeight, height - 2);
  return r;
}

int NoteGeometry::CellFromPoint(int x, int y) const {
  if (!(x > 1 && x <= (width - 16) / cellWidth * cellWidth && y <= height - 4 && y >= titleBar + 1)) return -1;
  const int itemY = titleBar > 0 ? y - titleBar - 1 : y;
  const int row = (itemY - 1) / cellHeight;
  const int column = (x - 2) / cellWidth;
  int index;
  if (columnMajor) {
    if (row >= rows) return -1;
    index = column * rows + row;
  } else {
    index = row * columns + column;
  }
  return index > kMaxCells ? -1 : index;
}

PixelRect NoteGeometry::ScrollTrack() const {
  return PixelRect{width - 13, std::max(titleBar + 2, 18), width - 3, height - 36};
}

std::optional<EdgeButtonPlacement> NoteGeometry::EdgeButton(int id) const {
  const EdgeButtonAnchor* anchor = FindEdgeButton(id);
  if (!anchor) return std::nullopt;
  const int x = anchor->x < 0 ? width + anchor->x : anchor->x;
  int y = anchor->y;
  if (anchor->y < 0) {
    y = height + anchor->y;
    if (y < 5) return std::nullopt;
    if (y <= titleBar) y = titleBar + 1;
  }
  const int glyphWidth = std::max(std::min(kEdgeGlyphSize, width - x - 1), 0);
  const int glyphHeight = std::max(std::min(kEdgeGlyphSize, height - y - 1), 0);
  return EdgeButtonPlacement{PixelRect{x, y, x + glyphWidth, y + glyphHeight}, anchor->glyphColumn};
}

bool NoteGeometry::EdgeButtonCoversClose(int id) const {
  const EdgeButtonAnchor* anchor = FindEdgeButton(id);
  if (!anchor || anchor->y >= 0) return false;
  const auto placement = EdgeButton(id);
  return placement && placement->target.top < kCloseGlyphBottom;
}

int NoteGeometry::TitleTextY(int titleFontSize, int titleTextOffset) const {
  return (titleBar - titleFontSize) / 2 - titleTextOffset - 2;
}

PageState ComputePages(const NoteGeometry& g, std::uint32_t itemCount, int scrollPos) {
  PageState p;
  const int perPage = g.CellsPerPage();
  const int count = static_cast<int>(std::min<std::uint32_t>(itemCount, kMaxCells));
  p.pageCount = count / perPage + (count % perPage != 0 ? 1 : 0);
  p.scrollMax = std::max((p.pageCount - 1) * (g.columnMajor ? g.columns : g.rows), 0);
  p.scrollPos = std::clamp(scrollPos, 0, p.scrollMax);
  p.slots = perPage;
  if (!g.columnMajor && g.height - g.rows * g.cellHeight - g.titleBar > 5) p.slots += g.columns;
  p.slots = std::min(p.slots, kMaxCells);
  p.firstPosition = static_cast<std::uint32_t>(p.scrollPos) *
                    static_cast<std::uint32_t>(g.columnMajor ? g.rows : g.columns);
  return p;
}

std::optional<ScrollThumb> ScrollThumbFor(const PixelRect& track, const PageState& pages) {
  if (pages.pageCount <= 1 || pages.scrollMax <= 0 || track.top >= track.bottom) return std::nullopt;
  const int span = track.bottom - track.top;
  const int thumbHeight = std::max(span / pages.pageCount, 3);
  ScrollThumb thumb;
  thumb.top = track.top + (span - thumbHeight) * pages.scrollPos / pages.scrollMax;
  thumb.bottom = std::min(thumb.top + thumbHeight, track.bottom);
  return thumb;
}

int ScrollBandAt(const PixelRect& track, int pageCount, int y) {
  if (pageCount <= 0) return -1;
  const double band = static_cast<double>(track.bottom - track.top + 1) / pageCount;
  if (band <= 0) return -1;
  return static_cast<int>((y - track.top) / band);
}

int FitCount(std::span<const int> cumulativeAdvances, int width) {
  int n = 0;
  const int limit = static_cast<int>(std::min<std::size_t>(cumulativeAdvances.size(), kMaxFittedChars));
  while (n < limit && cumulativeAdvances[static_cast<std::size_t>(n)] - 1 <= width) ++n;
  return n;
}

int CentringOffset(std::span<const int> cumulativeAdvances, int fitted, int width) {
  const int advance = fitted > 0 ? cumulativeAdvances[static_cast<std::size_t>(fitted - 1)] : 0;
  return (width - advance) / 2;
}

std::u16string_view WithoutOrderingPrefix(std::u16string_view title) {
  const std::size_t bar = title.find(u'|');
  return bar == std::u16string_view::npos ? title : title.substr(bar + 1);
}

WindowPlacement PlaceWindow(const StoredGeometry& stored, bool rememberPosition, int cursorX, int cursorY,
                            int screenWidth, int screenHeight) {
  WindowPlacement p;
  // Clamps written out so that a screen smaller than the minimum size does
  // not make std::clamp's bounds cross.
  p.width = std::max(std::min(stored.width, screenWidth), 40);
  p.height = std::max(std::min(stored.height, screenHeight), 16);
  if (rememberPosition) {
    p.x = std::max(std::min(stored.x, screenWidth), 0);
    p.y = std::max(std::min(stored.y, screenHeight), 0);
  } else {
    p.x = cursorX - p.width / 2;
    p.y = cursorY - p.height / 2;
  }
  if (p.x + p.width > screenWidth) p.x = screenWidth - p.width - 1;
  if (p.y + p.height > screenHeight) p.y = screenHeight - p.height - 1;
  p.x = std::max(p.x, 3);
  p.y = std::max(p.y, 3);
  return p;
}

namespace {

// Squared distance from a point to a rectangle, 0 inside.
long long DistanceSquared(const MonitorRect& m, long long x, long long y) {
  const long long dx = x < m.left ? m.left - x : x >= m.right ? x - (m.right - 1) : 0;
  const long long dy = y < m.top ? m.top - y : y >= m.bottom ? y - (m.bottom - 1) : 0;
  return dx * dx + dy * dy;
}

const MonitorRect* NearestMonitor(std::span<const MonitorRect> monitors, int x, int y) {
  const MonitorRect* best = nullptr;
  long long bestDistance = 0;
  for (const MonitorRect& m : monitors) {
    const long long d = DistanceSquared(m, x, y);
    if (!best || d < bestDistance) {
      best = &m;
      bestDistance = d;
    }
  }
  return best;
}

}  // namespace

WindowPlacement PlaceWindowOnMonitors(std::span<const MonitorRect> monitors, const StoredGeometry& stored,
                                      bool rememberPosition, int cursorX, int cursorY, int screenWidth,
                                      int screenHeight) {
  // The stored rectangle's centre stands for it when looking for the
  // nearest monitor.
  const int refX = rememberPosition ? stored.x + stored.width / 2 : cursorX;
  const int refY = rememberPosition ? stored.y + stored.height / 2 : cursorY;
  const MonitorRect* m = monitors.size() > 1 ? NearestMonitor(monitors, refX, refY) : nullptr;
  if (!m) return PlaceWindow(stored, rememberPosition, cursorX, cursorY, screenWidth, screenHeight);
  StoredGeometry local = stored;
  local.x -= m->left;
  local.y -= m->top;
  WindowPlacement p = PlaceWindow(local, rememberPosition, cursorX - m->left, cursorY - m->top,
                                  m->right - m->left - 2, m->bottom - m->top - 2);
  p.x += m->left;
  p.y += m->top;
  return p;
}

CellComposition ComposeCell(int cellWidth, int cellHeight, int iconSize, int iconMargin, bool textRight,
                            int iconFontSize, int iconTextOffset) {
  CellComposition c;
  c.drawIcon = iconSize > 3;
  if (textRight) {
    c.iconX = iconMargin;
    c.iconY = (cellHeight - iconSize) / 2;
    c.textX = iconSize + 2 * iconMargin;
    c.textWidth = cellWidth - c.textX - 1;
    c.textY = (cellHeight - iconFontSize) / 2 - iconTextOffset - 2;
  } else {
    c.iconX = (cellWidth - iconSize) / 2;
    c.iconY = iconMargin;
    c.textX = 2;
    c.textWidth = cellWidth - 4;
    c.textY = 2 * iconMargin + iconSize - iconTextOffset;
    c.centred = true;
  }
  return c;
}

}  // namespace vellumo::notes
