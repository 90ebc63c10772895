// A note window's side of drag and drop: the highlight that shows which
// item would take an OLE drop, the items of other windows dropped on it,
// the end of a drag of its own items, and shell file drops.
#include <windows.h>
#include <shellapi.h>

#include "model/items.h"
#include "notes/drop_rules.h"
#include "notes/drop_target.h"
#include "notes/note_window.h"
#include "notes/program_context.h"

namespace vellumo::notes {

namespace {

inline constexpr char16_t kDragOutHint[] =
    u"便利贴项目只能拖往便利贴窗口！\r\n（但是如果按住<shift>键后拖出窗口可以删除项目。）";
inline constexpr std::size_t kReorderContentChars = 30720;

bool KeyHeld(int key) { return (::GetAsyncKeyState(key) & 0x8000) != 0; }

const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

}  // namespace

void KIzMTk::OnDragOver(int x, int y) {
  const int cell = CellFromPoint(x, y);
  if (cell != highlightedCell) {
    DrawCell(highlightedCell, false);
    const std::uint32_t item = ItemInCell(cell);
    if (item != 0 && context_.database &&
        IsDropTargetItem(model::GetItemContent(*context_.database, noteId, item)))
      DrawCell(cell, true);
    highlightedCell = cell;
  }
  // Kept open while the drag hovers; the usual delay hides it after.
  leaveTick = context_.interfaceClock + 500;
  if (collapseMode == 2) {
    collapseMode = 1;
    SetCollapsed(false);
  }
}

void KIzMTk::OnItemDropped(std::uint32_t sourceNote, std::uint32_t item) {
  const bool copy = KeyHeld(VK_CONTROL);
  if (sourceNote == noteId && (item == 0 || !copy)) return;
  if (!context_.items) return;
  const std::uint32_t target = noteId;
  if (item == 0)
    (void)context_.items->CreateLinkItem(sourceNote, target);
  else
    (void)context_.items->CopyOrMoveItem(sourceNote, item, target, copy);
  NotifyNoteChanged(context_, target);
  if (sourceNote != target) NotifyNoteChanged(context_, sourceNote);
}

void KIzMTk::EndItemDrag(int draggedCell) {
  ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
  const std::uint32_t item = ItemInCell(draggedCell);
  POINT screen{};
  ::GetCursorPos(&screen);
  const HWND under = ::WindowFromPoint(screen);
  KIzMTk* target = FindNoteWindow(context_, under);
  if (target && !target->closed) {
    if (under == hwnd && item != 0 && context_.database && context_.items) {
      POINT client = screen;
      ::ScreenToClient(hwnd, &client);
      const std::uint32_t before = ItemInCell(CellFromPoint(client.x, client.y));
      Ku& db = *context_.database;
      if (before != 0 && before != item) {
        if (const std::optional<std::u16string> title =
                ReorderedTitle(model::GetItemTitle(db, noteId, item).substr(0, model::kMaxTitleChars),
                               model::GetItemTitle(db, noteId, before))) {
          const std::u16string content = model::GetItemContent(db, noteId, item);
          if (context_.items->UpdateItem(noteId, item, *title,
                                         model::HasEncryptedTag(content)
                                             ? std::u16string_view(content)
                                             : std::u16string_view(content).substr(0, kReorderContentChars)) == 0)
            NotifyNoteChanged(context_, noteId);
        }
      }
    }
    keepOpen = 1;
    ::PostMessageW(under, WM_NOTE_DROPITEM, noteId, item);
    return;
  }
  if (item == 0) return;
  keepOpen = 1;
  if (KeyHeld(VK_SHIFT)) {
    if (context_.items) (void)context_.items->DeleteItem(noteId, item, true);
    NotifyNoteChanged(context_, noteId);
  } else {
    ::MessageBoxW(hwnd, Wide(kDragOutHint), L"提示", MB_OK);
  }
}

void KIzMTk::OnFilesDropped(HDROP drop) {
  const std::vector<std::u16string> paths = DroppedFilePaths(drop);
  ::DragFinish(drop);
  MakeRunItems(context_, noteId, paths);
}

}  // namespace vellumo::notes
