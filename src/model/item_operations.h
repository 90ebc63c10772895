#pragma once
// The three operations through which every change to a note's items goes,
// and the copy, move and link compositions built on them.  They keep the
// item records, the marker, the count and the order index consistent, and
// tell the sync engine about each change.
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "model/notes.h"
#include "model/notifier.h"
#include "store/ku.h"

namespace vellumo::model {

// The sync engine's view of item changes; does nothing until sync exists.
class ItemSyncHooks {
 public:
  virtual ~ItemSyncHooks() = default;
  virtual void OnItemCreated(std::uint32_t /*note*/, std::uint32_t /*item*/, std::u16string_view /*title*/,
                             std::u16string_view /*content*/) {}
  virtual void OnItemUpdated(std::uint32_t /*note*/, std::uint32_t /*item*/, std::u16string_view /*oldTitle*/,
                             std::u16string_view /*oldContent*/, std::u16string_view /*newTitle*/,
                             std::u16string_view /*newContent*/) {}
  virtual void OnItemDeleted(std::uint32_t /*note*/, std::u16string_view /*oldTitle*/,
                             std::u16string_view /*oldContent*/) {}
};

inline constexpr char16_t kNoteMissingText[] = u"目标便利贴不存在或已被删除！";
inline constexpr char16_t kNoteFullText[] = u"当前便利贴项目数量已达到最大限制！";
inline constexpr char16_t kCreateFailedCaption[] = u"创建项目失败";

// Guards the note window list and is held by UpdateItem and DeleteItem.  It
// stands for a Win32 mutex, which its owner thread may take again: the sync
// hooks run under it and may call back into the item operations.  It may be
// held while database operations run, never the other way round.
using AppMutex = std::recursive_mutex;

// An item put back under its own id (import).
struct ItemRecord {
  std::uint32_t id = 0;
  std::u16string title;
  std::u16string content;
  std::optional<std::uint32_t> iconIndex;
  std::u16string iconPath;  // empty: none
};

class ItemOperations {
 public:
  ItemOperations(Ku& db, ModelNotifier& notifier, ItemSyncHooks& sync, AppMutex& appMutex)
      : db_(db), notifier_(notifier), sync_(sync), appMutex_(appMutex) {}

  // New item id, 0 on failure.  Without a title the first 32 characters of
  // the content stand in for it.  An encrypted content ("<k>"/"<K>") longer
  // than the stored limit is refused: cut, its body would no longer be whole
  // cipher blocks and could never be decrypted.
  std::uint32_t CreateItem(std::uint32_t note, std::u16string_view title, std::u16string_view content,
                           bool notifySync);
  // 0 on success, 1 when the item does not exist, 2 when an encrypted
  // content is longer than the stored limit (nothing is changed).
  // The sync hook runs under AppMutex.
  int UpdateItem(std::uint32_t note, std::uint32_t item, std::u16string_view title, std::u16string_view content);
  // 0 when the item was deleted, 1 when it did not exist.  With notifySync
  // the hook is told either way, after AppMutex is released.
  int DeleteItem(std::uint32_t note, std::uint32_t item, bool notifySync);

  // Puts an item back under its own id, with the bookkeeping of CreateItem:
  // the marker claimed, ItemCount stepped within the item limit, the order
  // entry written, and ItemIdCounter raised to the id so that it is never
  // issued again.  The sync engine is not told: nothing changed for it.
  RestoreResult RestoreItem(std::uint32_t note, const ItemRecord& item);

  // Dropping item `item` of note `from` on note `to`: a move, or a copy when
  // `copy` (Ctrl held).  Returns the new item id, 0 when nothing happened.
  std::uint32_t CopyOrMoveItem(std::uint32_t from, std::uint32_t item, std::uint32_t to, bool copy);
  // Dragging a whole note onto another makes an item that opens it.
  std::uint32_t CreateLinkItem(std::uint32_t linked, std::uint32_t into);
  // A ">" title with more after it and an empty content makes a new note and
  // an item that opens it; returns the item id, *newNote the note id.
  std::uint32_t CreateItemOrNote(std::uint32_t note, std::u16string_view title, std::u16string_view content,
                                 std::uint32_t* newNote);

 private:
  Ku& db_;
  ModelNotifier& notifier_;
  ItemSyncHooks& sync_;
  AppMutex& appMutex_;
};

}  // namespace vellumo::model
