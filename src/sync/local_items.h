#pragma once
// The engine's decisions see a note's items and journal through this
// interface only: the engine answers it from the database, tests from a
// table.
#include <cstdint>
#include <optional>
#include <vector>

#include "sync/item_block.h"
#include "sync/note_digest.h"

namespace vellumo::sync {

inline constexpr std::size_t kMaxListedItems = 4096;

struct LocalItem {
  std::uint32_t itemId = 0;
  StoredItem stored;
};

class LocalItems {
 public:
  virtual ~LocalItems() = default;
  // The note's items in list order, at most kMaxListedItems.
  [[nodiscard]] virtual std::vector<LocalItem> Items(std::uint32_t noteId) const = 0;
  // nullopt when the item does not exist.
  [[nodiscard]] virtual std::optional<StoredItem> Item(std::uint32_t noteId, std::uint32_t itemId) const = 0;
  // The hashes of the note's NoteSyncDigest records.
  [[nodiscard]] virtual std::vector<ItemHashValue> Journal(std::uint32_t noteId) const = 0;
};

}  // namespace vellumo::sync
