#include "sync/note_digest.h"

#include "model/items.h"
#include "model/records.h"
#include "store/ku.h"

namespace vellumo::sync {

namespace {

std::vector<std::uint8_t> ReadText(Ku& db, std::uint32_t note, std::uint8_t field, std::uint32_t item) {
  std::vector<std::uint8_t> value;
  if (db.GetValue(model::ItemFieldKey(note, field, item), &value) != 0) value.clear();
  value.resize(value.size() & ~std::size_t{1});
  return value;
}

}  // namespace

StoredItem ReadStoredItem(Ku& db, std::uint32_t note, std::uint32_t item) {
  return {ReadText(db, note, model::item_field::kTitle, item), ReadText(db, note, model::item_field::kContent, item)};
}

ItemHashValue StoredItemHash(Ku& db, std::uint32_t note, std::uint32_t item) {
  return ItemHash(ReadStoredItem(db, note, item).Fields());
}

NoteDigestValue NoteDigestOf(Ku& db, std::uint32_t note, std::span<const std::uint32_t> items) {
  if (items.size() > model::kMaxItemsPerNote) items = items.first(model::kMaxItemsPerNote);
  NoteDigestValue digest{};
  for (const std::uint32_t item : items) AddToNoteDigest(digest, StoredItemHash(db, note, item));
  return digest;
}

NoteDigestValue NoteDigestOf(Ku& db, std::uint32_t note) {
  const std::vector<std::uint32_t> items = model::ListItems(db, note);
  return NoteDigestOf(db, note, items);
}

}  // namespace vellumo::sync
