// NoteWindowList and the calls the rest of the program makes on note
// windows.
#include <windows.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

#include "model/items.h"
#include "notes/note_open_probe.h"
#include "notes/note_window.h"
#include "notes/program_context.h"
#include "resources/window_messages.h"

namespace vellumo::notes {

NoteWindowList::NoteWindowList() = default;
NoteWindowList::~NoteWindowList() = default;

namespace {

// Takes the entry out of the list and hands its ownership to the caller,
// who destroys it after AppMutex is released: destruction writes the
// geometry, and database work never runs inside AppMutex's walk of the list.
std::unique_ptr<KIzMTk> RemoveAt(ProgramContext& context, std::size_t index) {
  auto& list = context.noteWindows.Windows();
  std::lock_guard lock(context.appMutex);
  std::unique_ptr<KIzMTk> taken = std::move(list[index]);
  list[index] = std::move(list.back());
  list.pop_back();
  return taken;
}

std::int64_t OpenWith(ProgramContext& context, std::uint32_t note, const model::AppearanceBlock* parentBlock) {
  MarkNoteOpenStart();
  auto& list = context.noteWindows.Windows();
  if (list.size() >= kMaxNoteWindows) return -1;
  CloseNoteWindows(context, note);
  // Drawing only reads; what an interrupted writer left (a count that does
  // not match, order entries of items without a title) is mended here, once
  // a run, before the note is first shown.
  if (context.database && context.noteWindows.FirstOpening(note)) (void)model::RepairNote(*context.database, note);
  KIzMTk* window = nullptr;
  {
    std::lock_guard lock(context.appMutex);
    list.push_back(std::make_unique<KIzMTk>(context));
    window = list.back().get();
  }
  if (window->Create(note, parentBlock)) return note;
  for (std::size_t i = 0; i < list.size(); ++i)
    if (list[i].get() == window) {
      std::unique_ptr<KIzMTk> failed = RemoveAt(context, i);
      break;
    }
  return -1;
}

}  // namespace

std::int64_t OpenNoteWindow(ProgramContext& context, std::uint32_t note) { return OpenWith(context, note, nullptr); }

std::int64_t OpenNoteWindowInheriting(ProgramContext& context, HWND parent, std::uint32_t note) {
  KIzMTk* parentWindow = FindNoteWindow(context, parent);
  if (!parentWindow) return OpenWith(context, note, nullptr);
  // The block is copied: opening may close the parent's own window.
  const model::AppearanceBlock block = parentWindow->appearance;
  return OpenWith(context, note, &block);
}

void OpenNoteFrom(ProgramContext& context, std::uint32_t note, std::uint32_t sourceNote) {
  if (sourceNote != 0)
    for (const auto& window : context.noteWindows.Windows())
      if (window->noteId == sourceNote && window->hwnd) {
        if ((window->appearance.U32(model::AppearanceBlock::kBehaviourFlags) &
             model::behaviour_flag::kPassLookToChildren) != 0) {
          (void)OpenNoteWindowInheriting(context, window->hwnd, note);
          return;
        }
        break;
      }
  (void)OpenNoteWindow(context, note);
}

void RecreateNoteWindows(ProgramContext& context, std::uint32_t note) {
  KIzMTk* old = nullptr;
  for (const auto& window : context.noteWindows.Windows())
    if (window->noteId == note && !window->closed && window->hwnd) old = window.get();
  if (!old) return;
  RECT place{};
  ::GetWindowRect(old->hwnd, &place);
  const int keepOpen = old->keepOpen;
  const DWORD leaveTick = old->leaveTick;
  // Opening replaces the old window; the new one takes its place, size and
  // state, so the change looks like a repaint.
  if (OpenNoteWindow(context, note) < 0) return;
  KIzMTk* fresh = context.noteWindows.Windows().back().get();
  ::SetWindowPos(fresh->hwnd, nullptr, place.left, place.top, 0, 0, SWP_NOACTIVATE | SWP_NOZORDER | SWP_NOSIZE);
  fresh->pressRect[0] = place.left;
  fresh->pressRect[1] = place.top;
  fresh->Relayout(place.right - place.left, place.bottom - place.top);
  fresh->keepOpen = std::max(fresh->keepOpen, keepOpen);
  fresh->leaveTick = leaveTick;
}

void CloseNoteWindows(ProgramContext& context, std::uint32_t note) {
  for (const auto& window : context.noteWindows.Windows())
    if (window->noteId == note && !window->closed) window->Hide();
}

void CloseAllNoteWindows(ProgramContext& context) {
  auto& list = context.noteWindows.Windows();
  while (!list.empty()) {
    std::unique_ptr<KIzMTk> last = RemoveAt(context, list.size() - 1);
  }
}

void NotifyNoteChanged(ProgramContext& context, std::uint32_t note) {
  if (!context.OnInterfaceThread()) {
    // The list belongs to the interface thread; another thread only asks.
    if (context.mainWindow) ::PostMessageW(context.mainWindow, WM_NOTE_CHANGED_ELSEWHERE, note, 0);
    return;
  }
  for (const auto& window : context.noteWindows.Windows())
    if (window->noteId == note && window->hwnd) ::PostMessageW(window->hwnd, WM_NOTE_RELAYOUT, 0, 0);
  if (context.managementDialog) ::PostMessageW(context.managementDialog, WM_NOTES_CHANGED, note, 0);
}

KIzMTk* FindNoteWindow(ProgramContext& context, HWND hwnd) {
  for (const auto& window : context.noteWindows.Windows())
    if (window->hwnd == hwnd) return window.get();
  return nullptr;
}

void ReapClosedWindows(ProgramContext& context) {
  auto& list = context.noteWindows.Windows();
  for (std::size_t i = 0; i < list.size();) {
    if (list[i]->closed) {
      // The entry moved into slot i is looked at next.
      std::unique_ptr<KIzMTk> reaped = RemoveAt(context, i);
      continue;
    }
    list[i]->CheckAutoHide(context.interfaceClock);
    ++i;
  }
}

std::size_t NoteWindowCount(const ProgramContext& context) { return context.noteWindows.Windows().size(); }

}  // namespace vellumo::notes
