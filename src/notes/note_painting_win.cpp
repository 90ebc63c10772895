// Layout and painting of a note window: everything is drawn into
// frameBuffer (cells composed in cellBuffer first) and the window is
// invalidated where it changed; the window procedure copies from there.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "model/items.h"
#include "model/notes.h"
#include "notes/item_icons.h"
#include "notes/note_shared.h"
#include "notes/note_window.h"
#include "notes/program_context.h"

namespace vellumo::notes {

namespace {

using model::AppearanceBlock;

constexpr std::size_t kMaxTitleChars = 120;
constexpr std::size_t kMaxItemTitleChars = 256;

void Fill(HDC dc, const PixelRect& r, HBRUSH brush) {
  const RECT rect{r.left, r.top, r.right, r.bottom};
  ::FillRect(dc, &rect, brush);
}

struct FittedText {
  int count = 0;
  int offset = 0;
};

// The characters of `text` that fit in `width` in the DC's font, and half
// the room left beside them.  Text is cut, never given an ellipsis.
FittedText FitText(HDC dc, std::u16string_view text, int width) {
  const int length = static_cast<int>(std::min<std::size_t>(text.size(), kMaxFittedChars));
  if (length == 0) return {0, width / 2};
  std::vector<int> advances(static_cast<std::size_t>(length));
  SIZE size{};
  if (!::GetTextExtentExPointW(dc, reinterpret_cast<const wchar_t*>(text.data()), length, 0, nullptr,
                               advances.data(), &size))
    return {};
  FittedText fitted;
  fitted.count = FitCount(advances, width);
  fitted.offset = CentringOffset(advances, fitted.count, width);
  return fitted;
}

}  // namespace

NoteGeometry KIzMTk::Geometry(int width, int height) const {
  return NoteGeometry::Compute(width, height, Appearance16(AppearanceBlock::kTitleBarHeight),
                               Appearance16(AppearanceBlock::kItemWidth), Appearance16(AppearanceBlock::kItemHeight),
                               Layout(model::layout_flag::kColumnMajor));
}

int KIzMTk::CellFromPoint(int x, int y) const { return geometry_.CellFromPoint(x, y); }

void KIzMTk::Relayout(int width, int height) {
  if (width == 0 && height == 0) {
    width = clientWidth;
    height = clientHeight;
  }
  geometry_ = Geometry(width, height);
  const int w = geometry_.width, h = geometry_.height, t = geometry_.titleBar;
  cellHeight = geometry_.cellHeight;
  cellWidth = geometry_.cellWidth;
  if (w != clientWidth || h != clientHeight) {
    if (!frameBuffer.Resize(w, h)) return;
    clientWidth = w;
    clientHeight = h;
  }
  HDC dc = frameBuffer.dc();
  if (t > 0) {
    Fill(dc, {0, 0, w, t + 1}, titleBrush.get());
    if (geometry_.ShowsTitleText() && context_.database) {
      std::u16string name = model::GetNoteDisplayName(*context_.database, noteId);
      if (name.size() > kMaxTitleChars) name.resize(kMaxTitleChars);
      const FittedText fitted = FitText(dc, name, w - 18);
      const RECT clip{0, 0, w, t};
      ::SetTextColor(dc, static_cast<COLORREF>(appearance.U32(AppearanceBlock::kTitleTextColor)));
      ::ExtTextOutW(dc, fitted.offset + 4,
                    geometry_.TitleTextY(Appearance16(AppearanceBlock::kTitleFontSize),
                                         Appearance16(AppearanceBlock::kTitleTextOffset)),
                    ETO_CLIPPED, &clip, reinterpret_cast<const wchar_t*>(name.data()),
                    static_cast<UINT>(fitted.count), nullptr);
    }
  }
  Fill(dc, {0, geometry_.ItemAreaTop(), w, h}, backgroundBrush.get());
  const RECT frame{0, 0, w, h};
  ::FrameRect(dc, &frame, borderBrush.get());
  for (const int id : {kPageDownButton, kPageUpButton, kResizeGrip, kCloseButton}) DrawEdgeButton(id, 0);
  scrollTrack = geometry_.ScrollTrack();
  Repage();
  Invalidate({0, 0, w, h});
  if (hwnd) ::SetWindowPos(hwnd, nullptr, 0, 0, w, h, SWP_NOACTIVATE | SWP_NOZORDER | SWP_NOMOVE);
}

void KIzMTk::Repage() {
  Ku* db = context_.database;
  const std::uint32_t count = db ? model::ItemCount(*db, noteId) : 0;
  columns = geometry_.columns;
  rows = geometry_.rows;
  const PageState pages = ComputePages(geometry_, count, scrollPos);
  pageCount = pages.pageCount;
  scrollMax = pages.scrollMax;
  scrollPos = pages.scrollPos;
  // Written only when it differs from the stored one (the paging may have
  // lowered it), never on every repaint.
  StoreScrollPosition();
  std::fill_n(cellItems.get(), pages.slots, 0u);
  cellCount = db ? static_cast<int>(model::ListItems(*db, pages.firstPosition, cellItems.get(),
                                                     static_cast<std::uint32_t>(pages.slots), noteId))
                 : 0;
  for (int i = pages.slots - 1; i >= 0; --i) DrawCell(i, false);
  DrawScrollbar();
}

void KIzMTk::DrawScrollbar() {
  HDC dc = frameBuffer.dc();
  if (scrollTrack.top < scrollTrack.bottom) Fill(dc, scrollTrack, backgroundBrush.get());
  PageState pages;
  pages.pageCount = pageCount;
  pages.scrollMax = scrollMax;
  pages.scrollPos = scrollPos;
  if (const auto thumb = ScrollThumbFor(scrollTrack, pages))
    Fill(dc, {scrollTrack.left, thumb->top, scrollTrack.right, thumb->bottom}, scrollbarBrush.get());
  Invalidate(scrollTrack);
}

void KIzMTk::DrawCell(int index, bool highlighted) {
  if (index < 0) return;
  const PixelRect target = geometry_.CellRect(index);
  if (index >= cellCount) {
    Fill(frameBuffer.dc(), target, backgroundBrush.get());
    Invalidate(target);
    return;
  }
  Ku* db = context_.database;
  if (!db) return;
  const std::uint32_t item = cellItems[static_cast<std::size_t>(index)];
  HDC dc = cellBuffer.dc();
  Fill(dc, {0, 0, cellWidth, cellHeight}, highlighted ? selectedBrush.get() : backgroundBrush.get());

  const int iconSize = Appearance16(AppearanceBlock::kIconSize);
  const CellComposition cell =
      ComposeCell(cellWidth, cellHeight, iconSize, Appearance16(AppearanceBlock::kIconMargin),
                  Layout(model::layout_flag::kTextRight), Appearance16(AppearanceBlock::kIconFontSize),
                  Appearance16(AppearanceBlock::kIconTextOffset));
  SharedNoteResources* shared = EnsureSharedNoteResources(context_);
  if (cell.drawIcon && shared)
    DrawItemIcon(*db, *shared->builtinIcons, noteId, item, dc, cell.iconX, cell.iconY, iconSize);

  if (!Behaviour(model::behaviour_flag::kNoIconText)) {
    std::u16string title = model::GetItemTitle(*db, noteId, item);
    if (title.size() > kMaxItemTitleChars) title.resize(kMaxItemTitleChars);
    const std::u16string_view shown = WithoutOrderingPrefix(title);
    const FittedText fitted = FitText(dc, shown, cell.textWidth);
    const int x = cell.centred ? fitted.offset + cell.textX : cell.textX;
    const RECT clip{0, 0, cellWidth, cellHeight};
    ::SetTextColor(dc, static_cast<COLORREF>(appearance.U32(highlighted ? AppearanceBlock::kSelectedTextColor
                                                                         : AppearanceBlock::kIconTextColor)));
    ::ExtTextOutW(dc, x, cell.textY, ETO_CLIPPED, &clip, reinterpret_cast<const wchar_t*>(shown.data()),
                  static_cast<UINT>(fitted.count), nullptr);
  }
  ::BitBlt(frameBuffer.dc(), target.left, target.top, cellWidth, target.bottom - target.top, dc, 0, 0, SRCCOPY);
  Invalidate(target);
}

void KIzMTk::DrawEdgeButton(int id, int state) {
  const auto placement = geometry_.EdgeButton(id);
  if (!placement) return;
  const SharedNoteResources* shared = EnsureSharedNoteResources(context_);
  if (!shared) return;
  const PixelRect& r = placement->target;
  ::BitBlt(frameBuffer.dc(), r.left, r.top, r.right - r.left, r.bottom - r.top, shared->buttonStrip.dc(),
           placement->glyphColumn, std::clamp(state, 0, 2) * kEdgeGlyphSize, SRCCOPY);
  Invalidate(r);
  if (geometry_.EdgeButtonCoversClose(id)) DrawEdgeButton(kCloseButton, 0);
}

}  // namespace vellumo::notes
