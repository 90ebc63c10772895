// NoteWindowList: every note window from creation until it is reaped, and
// the calls the rest of the program makes on note windows.
#include <windows.h>

#include <memory>
#include <mutex>
#include <vector>

#include "notes/note_host.h"
#include "notes/note_open_probe.h"
#include "notes/note_window.h"

namespace vellumo::notes {

namespace {

// Unordered: removal moves the last entry into the gap.  Changed only under
// AppMutex, because the item operations of other threads take it too.
std::vector<std::unique_ptr<KIzMTk>>& NoteWindowList() {
  static std::vector<std::unique_ptr<KIzMTk>> list;
  return list;
}

std::unique_lock<std::recursive_mutex> LockAppMutex() {
  std::recursive_mutex* m = Host().appMutex;
  return m ? std::unique_lock<std::recursive_mutex>(*m) : std::unique_lock<std::recursive_mutex>();
}

// Takes the entry out of the list and hands its ownership to the caller.
std::unique_ptr<KIzMTk> RemoveAt(std::size_t index) {
  auto& list = NoteWindowList();
  auto lock = LockAppMutex();
  std::unique_ptr<KIzMTk> taken = std::move(list[index]);
  list[index] = std::move(list.back());
  list.pop_back();
  return taken;
}

std::int64_t OpenWith(std::uint32_t note, const model::AppearanceBlock* parentBlock) {
  MarkNoteOpenStart();
  auto& list = NoteWindowList();
  if (list.size() >= kMaxNoteWindows) return -1;
  CloseNoteWindows(note);
  KIzMTk* window = nullptr;
  {
    auto lock = LockAppMutex();
    list.push_back(std::make_unique<KIzMTk>());
    window = list.back().get();
  }
  if (window->Create(note, parentBlock)) return note;
  for (std::size_t i = 0; i < list.size(); ++i)
    if (list[i].get() == window) {
      std::unique_ptr<KIzMTk> failed = RemoveAt(i);
      break;
    }
  return -1;
}

}  // namespace

std::int64_t OpenNoteWindow(std::uint32_t note) { return OpenWith(note, nullptr); }

std::int64_t OpenNoteWindowInheriting(HWND parent, std::uint32_t note) {
  KIzMTk* parentWindow = FindNoteWindow(parent);
  if (!parentWindow) return OpenWith(note, nullptr);
  // The block is copied: opening may close the parent's own window.
  const model::AppearanceBlock block = parentWindow->appearance;
  return OpenWith(note, &block);
}

void OpenNoteFrom(std::uint32_t note, std::uint32_t sourceNote) {
  if (sourceNote != 0)
    for (const auto& window : NoteWindowList())
      if (window->noteId == sourceNote && window->hwnd) {
        if ((window->appearance.U32(model::AppearanceBlock::kBehaviourFlags) &
             model::behaviour_flag::kPassLookToChildren) != 0) {
          (void)OpenNoteWindowInheriting(window->hwnd, note);
          return;
        }
        break;
      }
  (void)OpenNoteWindow(note);
}

void CloseNoteWindows(std::uint32_t note) {
  for (const auto& window : NoteWindowList())
    if (window->noteId == note && !window->closed) window->Hide();
}

void CloseAllNoteWindows() {
  auto& list = NoteWindowList();
  while (!list.empty()) {
    std::unique_ptr<KIzMTk> last = RemoveAt(list.size() - 1);
  }
}

void NotifyNoteChanged(std::uint32_t note) {
  for (const auto& window : NoteWindowList())
    if (window->noteId == note && window->hwnd) ::PostMessageW(window->hwnd, WM_NOTE_RELAYOUT, 0, 0);
  if (HWND dialog = Host().managementDialog) ::PostMessageW(dialog, WM_NOTES_CHANGED, note, 0);
}

KIzMTk* FindNoteWindow(HWND hwnd) {
  for (const auto& window : NoteWindowList())
    if (window->hwnd == hwnd) return window.get();
  return nullptr;
}

void ReapClosedWindows() {
  auto& list = NoteWindowList();
  for (std::size_t i = 0; i < list.size();) {
    if (list[i]->closed) {
      // The entry moved into slot i is looked at next.
      std::unique_ptr<KIzMTk> reaped = RemoveAt(i);
      continue;
    }
    // The pointer's auto-hide check joins here with the pointer handling.
    ++i;
  }
}

std::size_t NoteWindowCount() { return NoteWindowList().size(); }

}  // namespace vellumo::notes
