#pragma once
// Which notes take part in sync, decided from their stored sync ID and sync
// password alone.
//
// A note is registered when its sync ID is 1..160 bytes and does not begin
// with "!" (sync paused), its password is not empty and passes the password
// rule, and no other note of the database holds the same sync ID.  A note
// that is not registered loses any entry it had: a paused, cleared or failing
// note must neither journal nor send anything, whatever it did before.
// Between two notes with one sync ID, the one that already holds an entry
// keeps it, so re-registering everything after a reconnect never moves an
// ID from one note to the other.
#include <cstdint>
#include <span>
#include <vector>

#include "sync/item_block.h"
#include "sync/sync_list.h"

namespace vellumo::sync {

// What the note's SyncId and SyncPassword fields hold (empty when absent).
struct NoteSyncSettings {
  std::uint32_t noteId = 0;
  std::vector<std::uint8_t> syncId;    // UTF-16LE as stored
  std::vector<std::uint8_t> password;  // UTF-16LE as stored
};

enum class Registration : int {
  kRegistered = 0,      // entry created pending: send Register when connected
  kNoSyncId = 1,
  kSyncIdTooLong = 2,   // above 160 bytes
  kSyncPaused = 3,      // sync ID begins with "!"
  kNoPassword = 4,
  kPasswordRule = 5,    // error 1
  kSyncIdInUse = 6,     // error 2
};

struct RegistrationResult {
  std::uint32_t noteId = 0;
  Registration outcome = Registration::kNoSyncId;
  // The error to report for the note when connected (1 or 2), else 0.
  std::uint16_t errorCode = 0;
};

inline constexpr std::size_t kMinSyncPasswordChars = 8;
inline constexpr std::size_t kMaxSyncPasswordChars = 64;
inline constexpr std::size_t kMaxSyncPasswordBytes = 256;

// 8 to 64 UTF-16 units, at least one of them outside 0-9, a-z, A-Z.  A value
// that is not whole UTF-16 units fails.
[[nodiscard]] bool PasswordPassesRule(std::span<const std::uint8_t> passwordUtf16) noexcept;

// The sync ID as registered: padded with one zero byte to an even count.
[[nodiscard]] std::vector<std::uint8_t> EvenSyncId(std::span<const std::uint8_t> syncId);

// Registers one note in list (apply-now, or one step of RegisterAllNotes).
RegistrationResult RegisterNote(SyncList& list, const NoteSyncSettings& note);
// Every note, given in key order; one result per note, in that order.
std::vector<RegistrationResult> RegisterAllNotes(SyncList& list, std::span<const NoteSyncSettings> notes);

struct ListedItemHash {
  std::uint32_t itemId = 0;
  ItemHashValue hash{};
};

// Before a note registers, every item that repeats an earlier one (same
// ItemHash, in list order) is deleted: the server keeps one copy per hash.
// Returns the ids to delete, in list order.
[[nodiscard]] std::vector<std::uint32_t> DuplicateItemsToDelete(std::span<const ListedItemHash> items);

}  // namespace vellumo::sync
