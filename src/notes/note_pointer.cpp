#include "notes/note_pointer.h"

namespace vellumo::notes {

namespace {

constexpr std::uint32_t kDoubleClickMs = 500;
constexpr std::uint32_t kClickMs = 1000;

}  // namespace

bool InRect(const PixelRect& r, int x, int y) { return x >= r.left && x <= r.right && y >= r.top && y <= r.bottom; }

int EdgeButtonAt(const NoteGeometry& geometry, int x, int y) {
  for (int id = kCloseButton; id <= kPageDownButton; ++id) {
    const std::optional<EdgeButtonPlacement> placement = geometry.EdgeButton(id);
    if (!placement) continue;
    const PixelRect& t = placement->target;
    if (x >= t.left && x <= t.left + kEdgeGlyphSize && y >= t.top && y <= t.top + kEdgeGlyphSize) return id;
  }
  return -1;
}

int ScrollPosForBand(const PixelRect& track, int pageCount, int scrollMax, int scrollPos, int stepPerPage, int y) {
  if (pageCount <= 1) return -1;
  const int band = ScrollBandAt(track, pageCount, y);
  if (band < 0) return -1;
  const int pos = band * stepPerPage;
  if (pos == scrollPos || pos < 0 || pos > scrollMax) return -1;
  return pos;
}

PressDecision DecidePress(const PressInput& in) {
  if (in.button < 0 && in.y <= in.titleBar) {
    if (in.right) return {kPressTitleRight, false};
    return {kPressMove, in.repeatsPreviousPress};
  }
  if (in.right) return {kPressMove, false};  // right-dragging off the title bar moves the window too
  if (in.button == kResizeGrip) return {kPressResize, false};
  if (in.button >= 0) return {kPressButton, false};
  if (in.inScrollTrack) return {kPressScrollbar, false};
  return {in.cell != -1 ? kPressCell : kPressMove, false};
}

ReleaseDecision DecideRelease(const ReleaseInput& in) {
  if (in.right) {
    // An edge button under a right release is not pressed: the close
    // button closes every note, the others fall through to the management
    // window as the margins do.
    if (!in.atPressPoint || in.msSincePress >= kClickMs) return {};
    if (in.cell != -1) return {ReleaseAction::OpenEditor, false};
    if (in.mode != kPressTitleRight) {
      return {in.button == kCloseButton ? ReleaseAction::CloseAll : ReleaseAction::ToggleManagement, false};
    }
    return {in.inTitleBar ? ReleaseAction::Capture : ReleaseAction::None, false};
  }
  if (in.button >= 1) return {ReleaseAction::EdgeButton, in.mode == kPressButton};
  if (in.cell != -1 && in.cell == in.highlightedCell) {
    if (in.cellItem == 0) {
      return {in.msSinceEmptyClick >= kDoubleClickMs ? ReleaseAction::EmptyClick : ReleaseAction::EmptyDoubleClick,
              false};
    }
    return {in.msSincePress < kClickMs ? ReleaseAction::RunItem : ReleaseAction::None, false};
  }
  if (in.draggingOut) return {ReleaseAction::EndItemDrag, false};
  return {};
}

AutoHideDecision CheckAutoHide(std::uint32_t leaveTick, std::uint32_t now, bool keepOpen) {
  AutoHideDecision decision;
  if (leaveTick == 0) return decision;
  const std::int32_t elapsed = TicksSince(leaveTick, now);
  if (elapsed > kAutoHideMs) {
    decision.step = keepOpen ? AutoHideStep::Leave : AutoHideStep::Hide;
    decision.leaveTickCleared = true;
    return decision;
  }
  decision.stopHoverScroll = elapsed > kHoverScrollGraceMs;
  return decision;
}

}  // namespace vellumo::notes
