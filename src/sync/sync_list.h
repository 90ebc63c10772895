#pragma once
// The notes registered for sync: at most one entry per note, newest first.
//
// A plain value: the engine keeps it behind its own lock and hands the pure
// decisions (registration, dispatch, hooks) a const view or a copy, so that
// neither thread ever reads it while the other changes it.
#include <cstdint>
#include <span>
#include <vector>

namespace vellumo::sync {

inline constexpr int kEntryPending = -1;  // on creation and after every reconnect
inline constexpr int kEntryLive = 0;      // the server accepted the Register

struct SyncEntry {
  std::uint32_t noteId = 0;
  std::vector<std::uint8_t> password;  // UTF-16LE as stored
  std::vector<std::uint8_t> syncId;    // UTF-16LE, even byte count
  int status = kEntryPending;          // otherwise the error code the server gave
};

class SyncList {
 public:
  [[nodiscard]] const SyncEntry* Find(std::uint32_t noteId) const noexcept;
  // Live: the entry exists and the server accepted it.
  [[nodiscard]] bool IsLive(std::uint32_t noteId) const noexcept;
  // Another note's entry under exactly these sync ID bytes.
  [[nodiscard]] bool SyncIdTakenByOther(std::span<const std::uint8_t> syncId,
                                        std::uint32_t noteId) const noexcept;

  // Replaces any entry of the same note; the new one goes to the head.
  void AddNewest(SyncEntry entry);
  bool Remove(std::uint32_t noteId) noexcept;
  bool SetStatus(std::uint32_t noteId, int status) noexcept;
  void MarkAllPending() noexcept;

  [[nodiscard]] const std::vector<SyncEntry>& Entries() const noexcept { return entries_; }

 private:
  std::vector<SyncEntry> entries_;  // newest first
};

}  // namespace vellumo::sync
