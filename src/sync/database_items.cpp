#include "sync/database_items.h"

#include <algorithm>
#include <cstring>

#include "model/items.h"
#include "store/ku.h"
#include "store/record_keys.h"
#include "sync/note_digest.h"

namespace vellumo::sync {
namespace {

using record_keys::Key;

struct JournalScan {
  Key prefix;
  std::vector<ItemHashValue> hashes;
};

int CollectJournal(const std::uint8_t* key, std::uint32_t length, const std::uint8_t*, void* context, Ku&) {
  auto& scan = *static_cast<JournalScan*>(context);
  if (length < scan.prefix.size() || std::memcmp(key, scan.prefix.data(), scan.prefix.size()) != 0) return 0;
  if (length == scan.prefix.size() + record_keys::kSyncDigestBytes) {
    ItemHashValue h{};
    std::memcpy(h.data(), key + scan.prefix.size(), h.size());
    scan.hashes.push_back(h);
  }
  return 1;
}

}  // namespace

std::vector<LocalItem> DatabaseItems::Items(std::uint32_t noteId) const {
  std::vector<std::uint32_t> ids = model::ListItems(db_, noteId);
  if (ids.size() > kMaxListedItems) ids.resize(kMaxListedItems);
  std::vector<LocalItem> out;
  out.reserve(ids.size());
  for (std::uint32_t id : ids) {
    // An order entry whose item is gone (a stale index) is not an item.
    if (!model::ItemExists(db_, noteId, id)) continue;
    out.push_back({id, ReadStoredItem(db_, noteId, id)});
  }
  return out;
}

std::optional<StoredItem> DatabaseItems::Item(std::uint32_t noteId, std::uint32_t itemId) const {
  if (!model::ItemExists(db_, noteId, itemId)) return std::nullopt;
  return ReadStoredItem(db_, noteId, itemId);
}

std::vector<ItemHashValue> DatabaseItems::Journal(std::uint32_t noteId) const {
  JournalScan scan{record_keys::NoteFieldKey(noteId, record_keys::kSyncDigestField), {}};
  const auto maxLength = static_cast<std::uint32_t>(scan.prefix.size() + record_keys::kSyncDigestBytes);
  db_.Scan(scan.prefix, static_cast<std::uint32_t>(scan.prefix.size()) + 1, maxLength, &CollectJournal, &scan);
  std::ranges::sort(scan.hashes);
  scan.hashes.erase(std::ranges::unique(scan.hashes).begin(), scan.hashes.end());
  return scan.hashes;
}

bool DatabaseItems::JournalAdd(std::uint32_t noteId, const ItemHashValue& hash) {
  const std::uint8_t mark = 1;
  return db_.Put(record_keys::SyncDigestKey(noteId, hash), &mark, 1) == 0;
}

void DatabaseItems::JournalErase(std::uint32_t noteId, const ItemHashValue& hash) {
  // An absent record is already what is wanted.
  (void)db_.Put(record_keys::SyncDigestKey(noteId, hash), nullptr, 0);
}

}  // namespace vellumo::sync
