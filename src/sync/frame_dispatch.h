#pragma once
// What the engine does with each frame the server sends, decided from the
// frame, the sync list and the note's items and journal.  Frames about a
// note without an entry are ignored: after RemoveSyncEntry or a pause the
// server must not be able to list, fill or empty the note any more.
//
//   type 0  heartbeat answer      HeartbeatAnswered
//   type 4  Register status       SetEntryStatus; non-zero: ReportSyncError;
//                                 zero: Digest over the note's items
//   type 1  list request          ListItem and JournalErase per item, the
//                                 journal's remaining deletions, ListEnd
//   type 6  upload request        Upload of the item sealed under the note's
//                                 sync password (nothing if it is gone)
//   type 3  item for the client   CreateLocalItem + NoteChanged; an empty
//                                 title is answered with DeleteHash, an item
//                                 the note already holds is dropped; a blob
//                                 that does not unseal: ReportSyncError 21
//   type 2  delete                DeleteLocalItem (by id, or every item with
//                                 the hash) + NoteChanged
//   type 7  notice                ShowNotice with at most 250 bytes
// Unknown types and frames too short for their type give no action.
#include <cstdint>
#include <span>

#include "sync/engine_actions.h"
#include "sync/local_items.h"
#include "sync/sync_list.h"

namespace vellumo::sync {

// frame is exactly one received frame, as ScanFrame delimits it.  May throw
// std::bad_alloc only.
[[nodiscard]] ActionList DispatchServerFrame(std::span<const std::uint8_t> frame, const SyncList& list,
                                             const LocalItems& items);

}  // namespace vellumo::sync
