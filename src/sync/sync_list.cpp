#include "sync/sync_list.h"

#include <algorithm>
#include <utility>

namespace vellumo::sync {

const SyncEntry* SyncList::Find(std::uint32_t noteId) const noexcept {
  const auto it = std::ranges::find(entries_, noteId, &SyncEntry::noteId);
  return it == entries_.end() ? nullptr : &*it;
}

bool SyncList::IsLive(std::uint32_t noteId) const noexcept {
  const SyncEntry* e = Find(noteId);
  return e != nullptr && e->status == kEntryLive;
}

bool SyncList::SyncIdTakenByOther(std::span<const std::uint8_t> syncId, std::uint32_t noteId) const noexcept {
  return std::ranges::any_of(entries_, [&](const SyncEntry& e) {
    return e.noteId != noteId && std::ranges::equal(e.syncId, syncId);
  });
}

void SyncList::AddNewest(SyncEntry entry) {
  Remove(entry.noteId);
  entries_.insert(entries_.begin(), std::move(entry));
}

bool SyncList::Remove(std::uint32_t noteId) noexcept {
  return std::erase_if(entries_, [noteId](const SyncEntry& e) { return e.noteId == noteId; }) != 0;
}

bool SyncList::SetStatus(std::uint32_t noteId, int status) noexcept {
  const auto it = std::ranges::find(entries_, noteId, &SyncEntry::noteId);
  if (it == entries_.end()) return false;
  it->status = status;
  return true;
}

void SyncList::MarkAllPending() noexcept {
  for (auto& e : entries_) e.status = kEntryPending;
}

}  // namespace vellumo::sync
