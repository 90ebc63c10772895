#include "sync/sync_journal.h"

#include <algorithm>
#include <set>

namespace vellumo::sync {
namespace {

Frame Build(const ClientMessage& m) {
  Frame f;
  // Every message built here has fixed, valid sizes.
  (void)BuildFrame(m, f);
  return f;
}

}  // namespace

JournalPlan ReconcileJournal(std::span<const ItemHashValue> journal, std::span<const ItemHashValue> currentItems) {
  const std::set<ItemHashValue> records(journal.begin(), journal.end());
  const std::set<ItemHashValue> present(currentItems.begin(), currentItems.end());
  JournalPlan plan;
  for (const auto& h : records) {
    if (!present.contains(h)) plan.sendDeleteHash.push_back(h);
    plan.erase.push_back(h);
  }
  return plan;
}

void AppendReconcile(ActionList& out, std::uint32_t noteId, std::span<const ItemHashValue> journal,
                     std::span<const ItemHashValue> currentItems) {
  const JournalPlan plan = ReconcileJournal(journal, currentItems);
  for (const auto& h : plan.sendDeleteHash) out.emplace_back(SendFrameAction{Build(DeleteHash{noteId, h})});
  for (const auto& h : plan.erase) out.emplace_back(JournalErase{noteId, h});
}

std::vector<ItemHashValue> CurrentItemHashes(const LocalItems& items, std::uint32_t noteId) {
  std::vector<ItemHashValue> hashes;
  for (const auto& item : items.Items(noteId)) hashes.push_back(ItemHash(item.stored.Fields()));
  return hashes;
}

ActionList RejournalUnsent(std::span<const Frame> dropped) {
  ActionList out;
  for (const auto& frame : dropped) {
    ClientMessage m;
    if (ParseClientFrame(frame, m) != FrameError::kOk) continue;
    if (const auto* d = std::get_if<DeleteHash>(&m)) out.emplace_back(JournalAdd{d->noteId, d->hash});
  }
  return out;
}

ActionList PlanItemCreated(const SyncList& list, std::uint32_t noteId, std::uint32_t itemId,
                           const ItemFields& created) {
  ActionList out;
  if (list.IsLive(noteId)) out.emplace_back(SendFrameAction{Build(Announce{noteId, itemId, ItemHash(created)})});
  return out;
}

namespace {

// Journals the old version; when live, reconciles against the note as it
// now is, with the record just written counted in.
void JournalAndReconcile(ActionList& out, const SyncList& list, const LocalItems& items, std::uint32_t noteId,
                         const ItemHashValue& gone) {
  out.emplace_back(JournalAdd{noteId, gone});
  if (!list.IsLive(noteId)) return;
  std::vector<ItemHashValue> journal = items.Journal(noteId);
  journal.push_back(gone);
  AppendReconcile(out, noteId, journal, CurrentItemHashes(items, noteId));
}

}  // namespace

ActionList PlanItemUpdated(const SyncList& list, const LocalItems& items, std::uint32_t noteId,
                           std::uint32_t itemId, const ItemFields& before, const ItemFields& after) {
  ActionList out;
  if (list.Find(noteId) == nullptr) return out;
  // Announce first: the server must know the new version before it hears
  // that the old one is gone, or a second client could see a gap.
  if (list.IsLive(noteId)) out.emplace_back(SendFrameAction{Build(Announce{noteId, itemId, ItemHash(after)})});
  JournalAndReconcile(out, list, items, noteId, ItemHash(before));
  return out;
}

ActionList PlanItemDeleted(const SyncList& list, const LocalItems& items, std::uint32_t noteId,
                           const ItemFields& before) {
  ActionList out;
  if (list.Find(noteId) == nullptr) return out;
  JournalAndReconcile(out, list, items, noteId, ItemHash(before));
  return out;
}

}  // namespace vellumo::sync
