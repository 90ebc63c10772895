// The pointer in a note window: highlight, edge buttons, hover scrolling,
// presses and releases, and hiding when left alone.  The decisions are in
// note_pointer.h; this file reads the pointer and the clock and carries
// them out.
#include <windows.h>

#include "notes/note_pointer.h"
#include "notes/note_window.h"
#include "notes/program_context.h"
#include "resources/resource.h"

namespace vellumo::notes {

namespace {

using model::AppearanceBlock;
namespace behaviour = model::behaviour_flag;

constexpr int kNoButtonYet = -2;  // the hover must be worked out again
constexpr DWORD kTitleDoubleClickMs = 500;

bool CtrlHeld() { return (::GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0; }

void SetCursorShape(LPCWSTR shape) { ::SetCursor(::LoadCursorW(nullptr, shape)); }

}  // namespace

POINT KIzMTk::PointerInClient() const {
  POINT p{};
  ::GetCursorPos(&p);
  ::ScreenToClient(hwnd, &p);
  return p;
}

std::uint32_t KIzMTk::ItemInCell(int cell) const {
  if (cell < 0 || cell >= cellCount || cell >= kMaxCells) return 0;
  return cellItems[static_cast<std::size_t>(cell)];
}

void KIzMTk::RaiseToTop() {
  ::SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
}

bool KIzMTk::TooltipAllowed() const { return !Behaviour(behaviour::kTooltipOnlyWithCtrl) || CtrlHeld(); }

void KIzMTk::ShowTooltip(int cell, POINT client) {
  if (!context_.database) return;
  POINT screen = client;
  ::ClientToScreen(hwnd, &screen);
  context_.tooltip.Show(*context_.database, noteId, ItemInCell(cell), screen.x, screen.y, FontFor(itemFont),
                        Behaviour(behaviour::kTooltipWithContent));
}

void KIzMTk::FollowHighlight(int cell) {
  if (cell == highlightedCell) return;
  DrawCell(highlightedCell, false);
  DrawCell(cell, true);
  highlightedCell = cell;
}

void KIzMTk::HoverEdgeButton(int x, int y) {
  if (pressMode != kPressNone && pressMode != kPressButton) return;
  int button = EdgeButtonAt(geometry_, x, y);
  // While a button is held the grip is no place to slide to.
  if (pressMode == kPressButton && button == kResizeGrip) return;
  if (button == hoveredButton) return;
  if (hoveredButton >= 1) DrawEdgeButton(hoveredButton, 0);
  if (button >= 1) DrawEdgeButton(button, pressMode == kPressButton ? 2 : 1);
  hoveredButton = button;
  SetCursorShape(button < 0 ? IDC_ARROW : button == kResizeGrip ? IDC_SIZENWSE : IDC_HAND);
}

void KIzMTk::ScrollPointerTest(int x, int y) {
  overScrollbar = InRect(scrollTrack, x, y) ? 1 : 0;
  if (pageCount <= 1 || !((hoverScroll && overScrollbar) || pressMode == kPressScrollbar)) return;
  const int step = Layout(model::layout_flag::kColumnMajor) ? columns : rows;
  const int pos = ScrollPosForBand(scrollTrack, pageCount, scrollMax, scrollPos, step, y);
  if (pos < 0) return;
  scrollPos = pos;
  Relayout(0, 0);
}

void KIzMTk::SetCollapsed(bool cut) {
  if (cut) {
    ::SetWindowRgn(hwnd, ::CreateRectRgn(0, 0, clientWidth, Appearance16(AppearanceBlock::kTitleBarHeight) + 1),
                   TRUE);  // the window owns the region from here on
  } else {
    ::SetWindowRgn(hwnd, nullptr, TRUE);
  }
}

void KIzMTk::OnMouseMove(LPARAM lParam) {
  const bool synthetic = LOWORD(lParam) == 0xFFFF;
  const POINT p = PointerInClient();
  if (!synthetic) leaveTick = 0;
  const bool moved = p.x != pressPoint.x || p.y != pressPoint.y;
  switch (pressMode) {
    case kPressNone:
      if (!moved) break;
      if (hoverState == 2) {
        hoverState = 3;
      } else if (!synthetic && hoverState == 0) {
        // Tracking is armed again on every real move: when the pointer goes
        // straight from one note window to another, the late leave of the
        // first can cancel the second's request (seen under Wine), and then
        // neither hover nor leave would ever come.
        TRACKMOUSEEVENT track{sizeof track, TME_HOVER | TME_LEAVE, hwnd, 500};
        ::TrackMouseEvent(&track);
      } else if (!synthetic) {
        if (hoverState == 3) {
          hoveredButton = kNoButtonYet;
          SetWindowAlpha(context_, hwnd, Appearance16(AppearanceBlock::kFocusedAlpha));
        }
        TRACKMOUSEEVENT track{sizeof track, TME_HOVER | TME_LEAVE, hwnd, 500};
        ::TrackMouseEvent(&track);
        hoverState = 0;
        if (collapseMode == 2) {
          collapseMode = 1;
          SetCollapsed(false);
        }
      }
      break;
    case kPressMove:
      if (moved) {
        ::SetWindowPos(hwnd, nullptr, pressRect[0] + p.x - pressPoint.x, pressRect[1] + p.y - pressPoint.y, 0, 0,
                       SWP_NOACTIVATE | SWP_NOZORDER | SWP_NOSIZE);
        keepOpen = 1;
      }
      // The window moved under the pointer: the client point is stale, and
      // nothing below applies to a window being dragged.
      return;
    case kPressResize:
      Relayout(pressRect[2] + p.x - pressPoint.x, pressRect[3] + p.y - pressPoint.y);
      keepOpen = 1;
      return;
    default: {
      // Something is being dragged: a note window under the pointer stays
      // open while it is.
      POINT screen{};
      ::GetCursorPos(&screen);
      const HWND under = ::WindowFromPoint(screen);
      if (under != hwnd) {
        if (KIzMTk* other = FindNoteWindow(context_, under)) {
          other->leaveTick = context_.interfaceClock;
          return;
        }
      }
      break;
    }
  }

  const int cell = CellFromPoint(p.x, p.y);
  if (hoverState == 0 && pressMode == kPressNone) FollowHighlight(cell);
  if (cell != cellUnderPointer) {
    cellUnderPointer = cell;
    if (pressMode == kPressNone) {
      SetCursorShape(IDC_ARROW);
      if (context_.tooltip.IsShown() && TooltipAllowed()) ShowTooltip(cell, p);
    }
  }
  if (pressMode == kPressScrollbar || highlightedCell < 0 || overScrollbar || hoveredButton >= 0) {
    ScrollPointerTest(p.x, p.y);
    if (pressMode == kPressNone && (!overScrollbar || hoveredButton >= 0)) HoverEdgeButton(p.x, p.y);
  }
  if (highlightedCell != -1) {
    if (cell == highlightedCell) {
      if (draggingOut) SetCursorShape(IDC_ARROW);
      draggingOut = 0;
    } else if (pressMode == kPressCell) {
      if (!draggingOut && context_.dragCursor) ::SetCursor(context_.dragCursor);
      draggingOut = 1;
    }
  }
}

void KIzMTk::OnMouseHover() {
  if (pressMode != kPressNone) return;
  if (!context_.tooltip.IsShown()) RaiseToTop();
  hoverState = 1;
  pressPoint = PointerInClient();
  if (overScrollbar) {
    hoverScroll = 1;
    ScrollPointerTest(pressPoint.x, pressPoint.y);
  }
  if (!context_.tooltip.IsShown() && highlightedCell >= 0 && highlightedCell < kMaxCells && TooltipAllowed())
    ShowTooltip(highlightedCell, pressPoint);
}

void KIzMTk::OnMouseLeave() {
  // Wine reports the pointer leaving even while this window holds the
  // capture, which Windows does not.  Clearing the highlight then would
  // lose the cell being dragged (the drag would end as a drag of an empty
  // cell, making a link instead of moving the item), and the leave time
  // could hide the window under the drag; so the leave waits for the
  // release.
  if (pressMode != kPressNone) {
    leftWhilePressed = true;
    return;
  }
  ::PostMessageW(hwnd, WM_MOUSEMOVE, 0, -1);
  hoverState = 2;
  SetWindowAlpha(context_, hwnd, Appearance16(AppearanceBlock::kUnfocusedAlpha));
  DrawCell(highlightedCell, false);
  ::UpdateWindow(hwnd);
  highlightedCell = -1;
  if (hoveredButton >= 1) DrawEdgeButton(hoveredButton, 0);
  hoveredButton = -1;
  leaveTick = context_.interfaceClock;
  if (collapseMode != 0) {
    collapseMode = 2;
    SetCollapsed(true);
  }
  context_.tooltip.Hide();
}

void KIzMTk::OnPress(bool right) {
  RECT window{};
  ::GetWindowRect(hwnd, &window);
  pressRect = {window.left, window.top, window.right - window.left, window.bottom - window.top};
  const POINT p = PointerInClient();
  const int button = EdgeButtonAt(geometry_, p.x, p.y);
  const int cell = CellFromPoint(p.x, p.y);
  FollowHighlight(cell);
  RaiseToTop();
  const DWORD now = ::GetTickCount();
  PressInput in;
  in.right = right;
  in.y = p.y;
  in.titleBar = Appearance16(AppearanceBlock::kTitleBarHeight);
  in.button = button;
  in.inScrollTrack = InRect(scrollTrack, p.x, p.y);
  in.cell = cell;
  in.repeatsPreviousPress = p.x == pressPoint.x && p.y == pressPoint.y && now - pressTick < kTitleDoubleClickMs;
  const PressDecision decision = DecidePress(in);
  pressMode = decision.mode;
  if (pressMode == kPressButton) DrawEdgeButton(button, 2);
  if (decision.titleDoubleClick) {
    if (collapseMode != 0) {
      collapseMode = 0;
      SetCollapsed(false);
    } else {
      collapseMode = 2;
      keepOpen = 1;
    }
  }
  pressPoint = p;
  pressTick = now;
  // A third click is not another double click.
  if (decision.titleDoubleClick) ++pressPoint.x;
  if (pressMode == kPressScrollbar) ScrollPointerTest(p.x, p.y);
}

void KIzMTk::OnRelease(bool right) {
  const POINT p = PointerInClient();
  const DWORD now = ::GetTickCount();
  const PressMode mode = static_cast<PressMode>(pressMode);
  ReleaseInput in;
  in.right = right;
  in.mode = mode;
  in.button = EdgeButtonAt(geometry_, p.x, p.y);
  in.cell = CellFromPoint(p.x, p.y);
  in.highlightedCell = highlightedCell;
  in.cellItem = ItemInCell(in.cell);
  in.atPressPoint = p.x == pressPoint.x && p.y == pressPoint.y;
  in.msSincePress = now - pressTick;
  in.msSinceEmptyClick = now - emptyClickTick;
  in.inTitleBar =
      p.x >= 0 && p.x <= clientWidth && p.y >= 0 && p.y <= Appearance16(AppearanceBlock::kTitleBarHeight);
  in.draggingOut = draggingOut != 0;
  const ReleaseDecision decision = DecideRelease(in);
  pressMode = kPressNone;
  if (mode == kPressMove || mode == kPressResize) {
    // Where the window now is, so that the position it is remembered at is
    // the one the user left it at.
    RECT window{};
    ::GetWindowRect(hwnd, &window);
    pressRect = {window.left, window.top, window.right - window.left, window.bottom - window.top};
  }
  NoteCommands* commands = context_.commands;
  switch (decision.action) {
    case ReleaseAction::EdgeButton:
      DrawEdgeButton(in.button, 1);
      if (!decision.actOnButton) break;
      if (in.button == kCloseButton) {
        Hide();
      } else if (in.button == kPageUpButton && scrollPos > 0) {
        --scrollPos;
        Repage();
      } else if (in.button == kPageDownButton && scrollPos < scrollMax) {
        ++scrollPos;
        Repage();
      }
      break;
    case ReleaseAction::OpenEditor:
      // Shift asks for another editor even when one is open.
      if (commands) commands->OpenItemEditor(noteId, in.cellItem, (::GetAsyncKeyState(VK_SHIFT) & 0x8000) != 0);
      break;
    case ReleaseAction::CloseAll:
      // Hidden now and destroyed by the next tick's reaper: destroying them
      // here would pull this window's object from under its own procedure.
      for (const auto& window : context_.noteWindows.Windows()) window->Hide();
      break;
    case ReleaseAction::ToggleManagement:
      if (commands) commands->ToggleManagementWindow(noteId);
      break;
    case ReleaseAction::Capture:
      scrollPos = 0;
      if (commands) commands->CaptureToItem(noteId);
      break;
    case ReleaseAction::EmptyClick:
      emptyClickTick = pressTick;
      break;
    case ReleaseAction::EmptyDoubleClick:
      keepOpen = 1;
      if (context_.mainWindow) ::PostMessageW(context_.mainWindow, WM_COMMAND, IDM_PAUSE_TRAY, 0);
      break;
    case ReleaseAction::RunItem: {
      if (!keepOpen) Hide();
      const std::uint32_t note = noteId;
      if (commands) commands->ExecuteItem(note, in.cellItem);
      break;
    }
    case ReleaseAction::EndItemDrag:
      EndItemDrag(in.highlightedCell);
      break;
    case ReleaseAction::None:
      break;
  }
  if (draggingOut) {
    draggingOut = 0;
    SetCursorShape(IDC_ARROW);
  }
  if (leftWhilePressed) {
    leftWhilePressed = false;
    // Back inside, the next move arms the tracking again.
    POINT screen{};
    ::GetCursorPos(&screen);
    if (::WindowFromPoint(screen) != hwnd) OnMouseLeave();
  }
}

void KIzMTk::CheckAutoHide(DWORD now) {
  const AutoHideDecision decision = notes::CheckAutoHide(leaveTick, now, keepOpen != 0);
  if (decision.stopHoverScroll) hoverScroll = 0;
  switch (decision.step) {
    case AutoHideStep::Leave:
      ::SendMessageW(hwnd, WM_MOUSELEAVE, 0, 0);
      leaveTick = 0;
      break;
    case AutoHideStep::Hide:
      leaveTick = 0;
      Hide();
      break;
    case AutoHideStep::Nothing:
      break;
  }
}

}  // namespace vellumo::notes
