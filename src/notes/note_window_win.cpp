// KIzMTk's life: creation in its fixed order, hiding, destruction, and the
// window procedure, which only dispatches.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <vector>

#include "model/notes.h"
#include "notes/note_open_probe.h"
#include "notes/note_shared.h"
#include "notes/note_window.h"
#include "notes/program_context.h"
#include "resources/resource.h"

namespace vellumo::notes {

namespace {

using model::AppearanceBlock;
namespace behaviour = model::behaviour_flag;

constexpr std::size_t kMaxNameChars = 500;

platform::FontHandle CreateAppearanceFont(const AppearanceBlock& block, std::size_t faceOffset,
                                          std::size_t sizeOffset, std::size_t weightOffset) {
  const std::u16string face = block.FontFace(faceOffset);
  if (face.empty()) return {};
  LOGFONTW font{};
  font.lfHeight = -block.I16(sizeOffset);
  font.lfWeight = block.I16(weightOffset);
  font.lfCharSet = DEFAULT_CHARSET;
  const std::size_t length = std::min<std::size_t>(face.size(), LF_FACESIZE - 1);
  std::copy_n(face.begin(), length, font.lfFaceName);
  return platform::FontHandle(::CreateFontIndirectW(&font));
}

BOOL CALLBACK CollectMonitor(HMONITOR, HDC, LPRECT rect, LPARAM list) {
  reinterpret_cast<std::vector<MonitorRect>*>(list)->push_back({rect->left, rect->top, rect->right, rect->bottom});
  return TRUE;
}

platform::BrushHandle SolidBrush(const AppearanceBlock& block, std::size_t offset) {
  return platform::BrushHandle(::CreateSolidBrush(static_cast<COLORREF>(block.U32(offset))));
}

}  // namespace

std::vector<MonitorRect> DisplayMonitors() {
  std::vector<MonitorRect> monitors;
  ::EnumDisplayMonitors(nullptr, nullptr, &CollectMonitor, reinterpret_cast<LPARAM>(&monitors));
  return monitors;
}

KIzMTk::KIzMTk(ProgramContext& context) : context_(context) {}

KIzMTk::~KIzMTk() {
  if (noteId == 0 || !hwnd) return;
  ::DragAcceptFiles(hwnd, FALSE);
  if (context_.dropTarget) ::RevokeDragDrop(hwnd);
  StoreGeometry();
  StoreScrollPosition();
  // WM_NCDESTROY unbinds the window from this object on the way.
  ::DestroyWindow(hwnd);
}

HFONT KIzMTk::FontFor(const platform::FontHandle& own) {
  if (own) return own.get();
  const SharedNoteResources* shared = EnsureSharedNoteResources(context_);
  return shared ? shared->defaultFont.get() : nullptr;
}

bool KIzMTk::Create(std::uint32_t note, const AppearanceBlock* parentBlock) {
  ProgramContext& host = context_;
  closed = 1;
  SharedNoteResources* shared = EnsureSharedNoteResources(host);
  if (!shared || !host.database) return false;
  Ku& db = *host.database;
  std::u16string name = model::GetNoteName(db, note);
  if (name.empty()) return false;
  if (name.size() > kMaxNameChars) name.resize(kMaxNameChars);
  if (model::IsHiddenNoteName(name) && !(host.protection && host.protection->IsUnlocked())) {
    if (host.mainWindow) ::PostMessageW(host.mainWindow, WM_COMMAND, IDM_PASSWORD, 0);
    return false;
  }
  cellItems = std::make_unique<std::uint32_t[]>(kCellItemEntries);
  closed = 0;

  noteId = note;
  appearance = model::LoadAppearance(db, note);
  if (parentBlock && !Behaviour(behaviour::kRefuseParentLook)) appearance = *parentBlock;
  const DWORD now = host.interfaceClock;
  leaveTick = now + 200;
  keepOpen = Behaviour(behaviour::kNoAutoClose) ? 1 : 0;
  scrollPos = static_cast<int>(model::GetNoteU32(db, note, model::note_field::kScrollPosition, 0) & 0x7FFFFFFF);
  storedScrollPos_ = scrollPos;

  itemFont = CreateAppearanceFont(appearance, AppearanceBlock::kIconFontFace, AppearanceBlock::kIconFontSize,
                                  AppearanceBlock::kIconFontWeight);
  const int itemWidth = Appearance16(AppearanceBlock::kItemWidth);
  const int itemHeight = Appearance16(AppearanceBlock::kItemHeight);
  if (!cellBuffer.Create() || !cellBuffer.Resize(std::max(itemWidth + itemWidth / 2, 1), std::max(itemHeight, 1)))
    return false;
  cellBuffer.SelectFont(FontFor(itemFont));
  titleFont = CreateAppearanceFont(appearance, AppearanceBlock::kTitleFontFace, AppearanceBlock::kTitleFontSize,
                                   AppearanceBlock::kTitleFontWeight);
  if (!frameBuffer.Create()) return false;
  frameBuffer.SelectFont(FontFor(titleFont));

  backgroundBrush = SolidBrush(appearance, AppearanceBlock::kBackgroundColor);
  selectedBrush = SolidBrush(appearance, AppearanceBlock::kSelectedColor);
  titleBrush = SolidBrush(appearance, AppearanceBlock::kTitleColor);
  scrollbarBrush = SolidBrush(appearance, AppearanceBlock::kScrollbarColor);
  borderBrush = SolidBrush(appearance, AppearanceBlock::kBorderColor);

  pressMode = 0;
  draggingOut = 0;
  hoverState = 2;
  highlightedCell = -1;
  hoveredButton = -1;
  hoverScroll = 0;
  collapseMode = 0;

  StoredGeometry stored;
  stored.x = static_cast<std::int32_t>(model::GetNoteU32(db, note, model::note_field::kWindowX, 0));
  stored.y = static_cast<std::int32_t>(model::GetNoteU32(db, note, model::note_field::kWindowY, 0));
  stored.width = static_cast<std::int32_t>(model::GetNoteU32(db, note, model::note_field::kWindowWidth, 130));
  stored.height = static_cast<std::int32_t>(model::GetNoteU32(db, note, model::note_field::kWindowHeight, 180));
  const bool remember = Behaviour(behaviour::kRememberPosition);
  if (remember) leaveTick = now + 600;
  POINT cursor{};
  ::GetCursorPos(&cursor);
  const std::vector<MonitorRect> monitors = host.everyMonitor ? DisplayMonitors() : std::vector<MonitorRect>{};
  const WindowPlacement placement =
      PlaceWindowOnMonitors(monitors, stored, remember, cursor.x, cursor.y, host.screenWidth, host.screenHeight);

  const std::wstring title(name.begin(), name.end());
  if (!::CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kNoteWindowClass, title.c_str(), WS_POPUP, placement.x,
                         placement.y, 0, 0, nullptr, nullptr, host.Instance(), this) ||
      !hwnd) {
    closed = 1;
    return false;
  }
  pressRect[0] = placement.x;
  pressRect[1] = placement.y;
  ::SetWindowLongPtrW(hwnd, GWL_EXSTYLE, ::GetWindowLongPtrW(hwnd, GWL_EXSTYLE) | WS_EX_NOACTIVATE);
  ::ShowWindow(hwnd, SW_SHOWNA);
  ::DragAcceptFiles(hwnd, TRUE);
  if (host.dropTarget) ::RegisterDragDrop(hwnd, host.dropTarget);
  ::SetWindowLongPtrW(hwnd, GWL_EXSTYLE, ::GetWindowLongPtrW(hwnd, GWL_EXSTYLE) | WS_EX_LAYERED);
  SetWindowAlpha(host, hwnd, Appearance16(AppearanceBlock::kUnfocusedAlpha));
  clientWidth = clientHeight = 0;
  Relayout(placement.width, placement.height);
  return true;
}

void KIzMTk::Hide() {
  if (keepOpen) StoreGeometry();
  if (!closed && context_.tooltip.IsShown()) context_.tooltip.Hide();
  closed = 1;
  if (hwnd)
    ::SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0,
                   SWP_HIDEWINDOW | SWP_NOACTIVATE | SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE);
}

void KIzMTk::StoreScrollPosition() {
  Ku* db = context_.database;
  if (!db || noteId == 0 || scrollPos == storedScrollPos_) return;
  if (model::PutNoteU32(*db, noteId, model::note_field::kScrollPosition, static_cast<std::uint32_t>(scrollPos)) == 0)
    storedScrollPos_ = scrollPos;
}

void KIzMTk::StoreGeometry() {
  Ku* db = context_.database;
  if (!db || noteId == 0) return;
  using namespace model::note_field;
  (void)model::PutNoteU32(*db, noteId, kWindowX, static_cast<std::uint32_t>(pressRect[0]));
  (void)model::PutNoteU32(*db, noteId, kWindowY, static_cast<std::uint32_t>(pressRect[1]));
  (void)model::PutNoteU32(*db, noteId, kWindowWidth, static_cast<std::uint32_t>(clientWidth));
  (void)model::PutNoteU32(*db, noteId, kWindowHeight, static_cast<std::uint32_t>(clientHeight));
}

void KIzMTk::PaintFromFrame(HDC target, const RECT& area) {
  ::BitBlt(target, area.left, area.top, area.right - area.left, area.bottom - area.top, frameBuffer.dc(), area.left,
           area.top, SRCCOPY);
  if (!painted_) {
    painted_ = true;
    ReportFirstPaint(noteId);
  }
}

void KIzMTk::Invalidate(const PixelRect& area) {
  if (!hwnd) return;
  const RECT r{area.left, area.top, area.right, area.bottom};
  ::InvalidateRect(hwnd, &r, FALSE);
}

LRESULT KIzMTk::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      ::PostMessageW(hwnd, WM_NOTE_ARMCLOSE, 0, 0);
      return 0;
    case WM_ERASEBKGND: {
      RECT update{};
      if (!::GetUpdateRect(hwnd, &update, FALSE)) ::GetClientRect(hwnd, &update);
      PaintFromFrame(reinterpret_cast<HDC>(wParam), update);
      ::ValidateRect(hwnd, nullptr);
      return 1;
    }
    case WM_PAINT: {
      // Drawing steps invalidate without erasing: the copy is made here, and
      // validating keeps WM_PAINT from coming back.
      PAINTSTRUCT paint;
      if (HDC dc = ::BeginPaint(hwnd, &paint)) {
        PaintFromFrame(dc, paint.rcPaint);
        ::EndPaint(hwnd, &paint);
      }
      return 0;
    }
    case WM_SETCURSOR:
      return 1;
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    case WM_SHOWWINDOW:
    case WM_NCLBUTTONDBLCLK:
      return 0;
    case WM_NCMOUSEMOVE:
      ncHitCode = static_cast<int>(wParam);
      break;
    case WM_NCLBUTTONDOWN: {
      int code = ncHitCode;
      if (code == HTSYSMENU || code == HTMENU) {
        ::SetForegroundWindow(hwnd);
        code = static_cast<int>(::SendMessageW(hwnd, WM_NCHITTEST, 0, lParam));
      }
      // The system menu, the scroll bars, the sizing borders and the other
      // frame parts (3 to 21) keep the system's own handling.
      if (code >= HTSYSMENU && code <= HTHELP) break;
      ::SetCapture(hwnd);
      OnPress(false);
      return 0;
    }
    case WM_NCRBUTTONDOWN:
      ::SetForegroundWindow(hwnd);
      ::SetCapture(hwnd);
      OnPress(true);
      break;
    case WM_MOUSEMOVE:
      OnMouseMove(lParam);
      return 0;
    case WM_MOUSEHOVER:
      OnMouseHover();
      return 0;
    case WM_MOUSELEAVE:
      OnMouseLeave();
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      ::SetCapture(hwnd);
      OnPress(message == WM_RBUTTONDOWN);
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
      OnRelease(message == WM_RBUTTONUP);
      ::ReleaseCapture();
      return 0;
    case WM_DROPFILES:
      OnFilesDropped(reinterpret_cast<HDROP>(wParam));
      return 0;
    case WM_NOTE_ARMCLOSE: {
      POINT cursor{};
      if (::GetCursorPos(&cursor) && ::WindowFromPoint(cursor) == hwnd) leaveTick = context_.interfaceClock + 1500;
      return 0;
    }
    case WM_NOTE_RELAYOUT:
      Relayout(static_cast<int>(wParam), static_cast<int>(lParam));
      return 0;
    case WM_NOTE_DROPITEM:
      OnItemDropped(static_cast<std::uint32_t>(wParam), static_cast<std::uint32_t>(lParam));
      return 0;
    case WM_NOTE_DRAGOVER:
      OnDragOver(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace vellumo::notes
