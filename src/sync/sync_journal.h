#pragma once
// The deletion journal of a synced note and the hooks of local changes.
//
// The journal holds the ItemHash of every version that left the note and
// whose deletion the server has not heard of.  It is kept in the database
// because it must outlive the program: a note changed while it is not live
// tells the server at its next listing.  Reconciling it never deletes the
// server copy of content the note still holds, so an edit that turns item A
// into a copy of item B, or a move within the note, loses nothing remotely.
#include <cstdint>
#include <span>
#include <vector>

#include "sync/engine_actions.h"
#include "sync/item_block.h"
#include "sync/local_items.h"
#include "sync/sync_list.h"

namespace vellumo::sync {

struct JournalPlan {
  // Deletions to send, in ascending hash order, each once.
  std::vector<ItemHashValue> sendDeleteHash;
  // Every record of the journal: all are erased once reconciled.
  std::vector<ItemHashValue> erase;
};

[[nodiscard]] JournalPlan ReconcileJournal(std::span<const ItemHashValue> journal,
                                           std::span<const ItemHashValue> currentItems);

// The actions of reconciling a note (DeleteHash frames, then the erasures).
void AppendReconcile(ActionList& out, std::uint32_t noteId, std::span<const ItemHashValue> journal,
                     std::span<const ItemHashValue> currentItems);

// Hashes of the items the model lists for the note.
[[nodiscard]] std::vector<ItemHashValue> CurrentItemHashes(const LocalItems& items, std::uint32_t noteId);

// Frames dropped unsent at a reconnect: every DeleteHash among them goes
// back into its note's journal, to be reported at the next listing.
[[nodiscard]] ActionList RejournalUnsent(std::span<const Frame> dropped);

// The hooks run after the change is stored, so `items` shows the note as it
// now is.  Only notes with an entry journal; only live ones send.
[[nodiscard]] ActionList PlanItemCreated(const SyncList& list, std::uint32_t noteId, std::uint32_t itemId,
                                         const ItemFields& created);
[[nodiscard]] ActionList PlanItemUpdated(const SyncList& list, const LocalItems& items, std::uint32_t noteId,
                                         std::uint32_t itemId, const ItemFields& before, const ItemFields& after);
[[nodiscard]] ActionList PlanItemDeleted(const SyncList& list, const LocalItems& items, std::uint32_t noteId,
                                         const ItemFields& before);

}  // namespace vellumo::sync
