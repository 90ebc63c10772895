#pragma once
// KIzMTk: the borderless, always-on-top, never-activated panel window that
// shows one note.  All its drawing goes to frameBuffer; the screen only ever
// receives copies of it.
#include <windows.h>
#include <shellapi.h>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "model/appearance.h"
#include "notes/back_buffer.h"
#include "notes/note_layout.h"
#include "platform/window_base.h"
#include "platform/win_handles.h"

namespace vellumo::notes {

inline constexpr UINT WM_NOTE_ARMCLOSE = WM_USER + 1;
inline constexpr UINT WM_NOTE_DROPITEM = WM_USER + 2;
inline constexpr UINT WM_NOTE_RELAYOUT = WM_USER + 3;
inline constexpr UINT WM_NOTE_DRAGOVER = WM_USER + 9;
inline constexpr int kCellItemEntries = 4098;

struct ProgramContext;

class KIzMTk : public platform::WindowBase<KIzMTk> {
 public:
  explicit KIzMTk(ProgramContext& context);
  virtual ~KIzMTk();
  KIzMTk(const KIzMTk&) = delete;
  KIzMTk& operator=(const KIzMTk&) = delete;

  // The creation steps after the object joined NoteWindowList.  False when
  // the window could not be made; the opener then deletes the object.
  bool Create(std::uint32_t note, const model::AppearanceBlock* parentBlock);
  void Hide();
  void StoreGeometry();

  // The pointer (note_pointer_win.cpp).  lParam of WM_MOUSEMOVE tells the
  // program's own synthetic move (low word 0xFFFF) from a real one.
  void OnMouseMove(LPARAM lParam);
  void OnMouseHover();
  void OnMouseLeave();
  void OnPress(bool right);
  void OnRelease(bool right);
  // From every tick: hides a window the pointer left (or never entered).
  void CheckAutoHide(DWORD now);

  void Relayout(int width, int height);
  void Repage();
  void DrawCell(int index, bool highlighted);
  void DrawEdgeButton(int id, int state);
  int CellFromPoint(int x, int y) const;
  std::uint32_t ItemInCell(int cell) const;  // 0 for an empty cell or none

  // Drag and drop (note_drop_win.cpp).  An OLE drag hovers at a client
  // point; another window's item (0: its whole note) was dropped here;
  // this window's pressed cell was let go away from itself; the shell
  // dropped files.
  void OnDragOver(int x, int y);
  void OnItemDropped(std::uint32_t sourceNote, std::uint32_t item);
  void EndItemDrag(int draggedCell);
  void OnFilesDropped(HDROP drop);

  int pressMode = 0;
  int draggingOut = 0;
  // The pointer was reported gone while a button was held: the leave is
  // carried out at the release (see OnMouseLeave).
  bool leftWhilePressed = false;
  std::array<int, 4> pressRect{};  // left, top, width, height
  int clientWidth = 0, clientHeight = 0;
  POINT pressPoint{};
  DWORD pressTick = 0;
  DWORD emptyClickTick = 0;
  int ncHitCode = 0;
  int hoverState = 2;
  int collapseMode = 0;
  int cellUnderPointer = -1;
  int highlightedCell = -1;
  int hoveredButton = -1;
  int overScrollbar = 0;
  DWORD leaveTick = 0;
  int keepOpen = 0;
  int hoverScroll = 0;
  // The fonts are declared before the buffers that select them: members go
  // in reverse order, so the buffers put their own fonts back first and the
  // fonts can then be deleted.
  platform::FontHandle titleFont, itemFont;  // empty when the shared DefaultFont is used
  BackBuffer frameBuffer;
  int cellWidth = 0, cellHeight = 0;
  platform::BrushHandle backgroundBrush, selectedBrush, titleBrush, scrollbarBrush, borderBrush;
  int closed = 0;
  BackBuffer cellBuffer;
  PixelRect scrollTrack{};
  std::unique_ptr<std::uint32_t[]> cellItems;
  int cellCount = 0;
  int pageCount = 0, columns = 1, rows = 1, scrollPos = 0, scrollMax = 0;
  model::AppearanceBlock appearance;
  std::uint32_t noteId = 0;

 private:
  friend class platform::WindowBase<KIzMTk>;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void StoreScrollPosition();
  void PaintFromFrame(HDC target, const RECT& area);
  void Invalidate(const PixelRect& area);
  void DrawScrollbar();
  NoteGeometry Geometry(int width, int height) const;
  int Appearance16(std::size_t offset) const { return appearance.I16(offset); }
  bool Behaviour(std::uint32_t flag) const {
    return (appearance.U32(model::AppearanceBlock::kBehaviourFlags) & flag) != 0;
  }
  bool Layout(std::uint16_t flag) const { return (appearance.U16(model::AppearanceBlock::kLayoutFlags) & flag) != 0; }
  HFONT FontFor(const platform::FontHandle& own);
  POINT PointerInClient() const;
  void RaiseToTop();
  bool TooltipAllowed() const;
  void ShowTooltip(int cell, POINT client);
  void FollowHighlight(int cell);
  void HoverEdgeButton(int x, int y);
  void ScrollPointerTest(int x, int y);
  void SetCollapsed(bool cut);

  ProgramContext& context_;
  NoteGeometry geometry_;
  bool painted_ = false;
  int storedScrollPos_ = -1;  // the value in the database; written only when it changes
};

// The rectangles of the display monitors, in screen coordinates.
std::vector<MonitorRect> DisplayMonitors();

// Opening and closing, for every part of the program.
inline constexpr int kMaxNoteWindows = 256;
std::int64_t OpenNoteWindow(ProgramContext& context, std::uint32_t note);
std::int64_t OpenNoteWindowInheriting(ProgramContext& context, HWND parent, std::uint32_t note);
void OpenNoteFrom(ProgramContext& context, std::uint32_t note, std::uint32_t sourceNote);
void CloseNoteWindows(ProgramContext& context, std::uint32_t note);
// The note's look changed: an open window of it is made again in place.
void RecreateNoteWindows(ProgramContext& context, std::uint32_t note);
void CloseAllNoteWindows(ProgramContext& context);
// Safe from any thread: from another thread it becomes a message to the main
// window, which walks the windows on the interface thread.
void NotifyNoteChanged(ProgramContext& context, std::uint32_t note);
KIzMTk* FindNoteWindow(ProgramContext& context, HWND window);
// From ShellTick: destroys hidden windows, runs the auto-hide check of the others.
void ReapClosedWindows(ProgramContext& context);
std::size_t NoteWindowCount(const ProgramContext& context);

}  // namespace vellumo::notes
