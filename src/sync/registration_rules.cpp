#include "sync/registration_rules.h"

#include <algorithm>
#include <set>

#include "sync/frames.h"

namespace vellumo::sync {
namespace {

bool IsAsciiAlnum(std::uint16_t c) noexcept {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

Registration Judge(const SyncList& list, const NoteSyncSettings& note, const std::vector<std::uint8_t>& syncId) {
  if (note.syncId.empty()) return Registration::kNoSyncId;
  if (note.syncId.size() > kMaxSyncIdBytes) return Registration::kSyncIdTooLong;
  if (syncId[0] == '!' && syncId[1] == 0) return Registration::kSyncPaused;
  if (note.password.empty()) return Registration::kNoPassword;
  if (!PasswordPassesRule(note.password)) return Registration::kPasswordRule;
  if (list.SyncIdTakenByOther(syncId, note.noteId)) return Registration::kSyncIdInUse;
  return Registration::kRegistered;
}

}  // namespace

bool PasswordPassesRule(std::span<const std::uint8_t> passwordUtf16) noexcept {
  if (passwordUtf16.size() % 2 != 0) return false;
  const std::size_t chars = passwordUtf16.size() / 2;
  if (chars < kMinSyncPasswordChars || chars > kMaxSyncPasswordChars) return false;
  for (std::size_t i = 0; i < chars; ++i) {
    const auto c = static_cast<std::uint16_t>(passwordUtf16[2 * i] | (passwordUtf16[2 * i + 1] << 8));
    if (!IsAsciiAlnum(c)) return true;
  }
  return false;
}

std::vector<std::uint8_t> EvenSyncId(std::span<const std::uint8_t> syncId) {
  std::vector<std::uint8_t> even(syncId.begin(), syncId.end());
  if (even.size() % 2 != 0) even.push_back(0);
  return even;
}

RegistrationResult RegisterNote(SyncList& list, const NoteSyncSettings& note) {
  std::vector<std::uint8_t> syncId = EvenSyncId(note.syncId);
  // The note's own old entry never blocks its new registration.
  list.Remove(note.noteId);
  RegistrationResult result{note.noteId, Judge(list, note, syncId), 0};
  if (result.outcome == Registration::kPasswordRule) result.errorCode = kSyncErrorIdOrPassword;
  if (result.outcome == Registration::kSyncIdInUse) result.errorCode = kSyncErrorIdInUse;
  if (result.outcome == Registration::kRegistered) {
    list.AddNewest(SyncEntry{note.noteId, note.password, std::move(syncId), kEntryPending});
  }
  return result;
}

std::vector<RegistrationResult> RegisterAllNotes(SyncList& list, std::span<const NoteSyncSettings> notes) {
  std::vector<RegistrationResult> results;
  results.reserve(notes.size());
  for (const auto& note : notes) results.push_back(RegisterNote(list, note));
  return results;
}

std::vector<std::uint32_t> DuplicateItemsToDelete(std::span<const ListedItemHash> items) {
  std::vector<std::uint32_t> doomed;
  std::set<ItemHashValue> seen;
  for (const auto& item : items) {
    if (!seen.insert(item.hash).second) doomed.push_back(item.itemId);
  }
  return doomed;
}

}  // namespace vellumo::sync
