#pragma once
// The engine's view of a note's items and deletion journal, read from the
// database, and the journal's writes.  Every call is one or a few database
// operations, each under the database's own lock, so both the interface
// thread and the worker may use it.
#include <cstdint>
#include <optional>
#include <vector>

#include "sync/local_items.h"

namespace vellumo {
class Ku;
}

namespace vellumo::sync {

class DatabaseItems final : public LocalItems {
 public:
  explicit DatabaseItems(Ku& db) : db_(db) {}

  [[nodiscard]] std::vector<LocalItem> Items(std::uint32_t noteId) const override;
  [[nodiscard]] std::optional<StoredItem> Item(std::uint32_t noteId, std::uint32_t itemId) const override;
  [[nodiscard]] std::vector<ItemHashValue> Journal(std::uint32_t noteId) const override;

  // One NoteSyncDigest record per hash; adding one already there is harmless.
  [[nodiscard]] bool JournalAdd(std::uint32_t noteId, const ItemHashValue& hash);
  void JournalErase(std::uint32_t noteId, const ItemHashValue& hash);

 private:
  Ku& db_;
};

}  // namespace vellumo::sync
