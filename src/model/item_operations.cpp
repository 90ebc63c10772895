#include "model/item_operations.h"

#include <algorithm>
#include <cstdio>

#include "model/items.h"
#include "model/notes.h"
#include "model/records.h"

namespace vellumo::model {

namespace {

int StepCounter(Ku& db, const Key& key, std::uint32_t delta, std::uint32_t* value) {
  std::uint8_t raw[4];
  StoreU32LE(raw, delta);
  const int rc = db.PutIf(PutIfMode::AddCounter, key, raw, 4);
  if (value) *value = LoadU32LE(raw);
  return rc;
}

int PutText(Ku& db, const Key& key, std::u16string_view text) {
  const auto bytes = Utf16ToBytes(text);
  return db.Put(key, bytes.empty() ? nullptr : bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

// Stores the new text and returns the old one.
int ExchangeText(Ku& db, const Key& key, std::u16string_view text, std::u16string* old) {
  const auto bytes = Utf16ToBytes(text);
  std::vector<std::uint8_t> previous(0x10000);
  std::uint32_t length = static_cast<std::uint32_t>(previous.size());
  const int rc = db.Exchange(key, bytes.empty() ? nullptr : bytes.data(), static_cast<std::uint32_t>(bytes.size()),
                             previous.data(), &length);
  if (old) *old = Utf16FromBytes(std::span(previous).first(std::min<std::size_t>(length, previous.size())));
  return rc;
}

std::u16string Decimal(std::uint32_t v) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%u", v);
  std::u16string s;
  for (const char* d = digits; *d; ++d) s.push_back(static_cast<char16_t>(*d));
  return s;
}

}  // namespace

std::uint32_t ItemOperations::CreateItem(std::uint32_t note, std::u16string_view title, std::u16string_view content,
                                         bool notifySync) {
  if (title.empty()) {
    if (content.empty()) return 0;
    title = content.substr(0, 32);
  }
  if (!FitsStoredLimit(content)) return 0;
  if (!NoteExists(db_, note)) {
    notifier_.ShowMessage(kNoteMissingText, kCreateFailedCaption);
    return 0;
  }
  std::uint32_t count = 0;
  if (StepCounter(db_, NoteFieldKey(note, note_field::kItemCount), 0, &count) != 0) return 0;
  if (count >= kMaxItemsPerNote) {
    notifier_.ShowMessage(kNoteFullText, kCreateFailedCaption);
    return 0;
  }
  if (StepCounter(db_, NoteFieldKey(note, note_field::kItemCount), 1, nullptr) != 0) return 0;

  // The marker is claimed with Exchange, so two threads never get one id.
  std::uint32_t id = 0;
  for (;;) {
    if (StepCounter(db_, NoteFieldKey(note, note_field::kItemIdCounter), 1, &id) != 0) return 0;
    const std::uint8_t zero = 0;
    std::uint8_t old = 0;
    std::uint32_t oldLength = 1;
    if (db_.Exchange(ItemMarkerKey(note, id), &zero, 1, &old, &oldLength) != 0) return 0;
    if (id != 0 && oldLength == 0) break;
  }
  if (PutText(db_, ItemFieldKey(note, item_field::kTitle, id), title) != 0) return 0;
  if (PutText(db_, ItemFieldKey(note, item_field::kContent, id), content) != 0) return 0;
  if (SetOrderEntry(db_, note, id, title) != 0) return 0;
  if (notifySync) sync_.OnItemCreated(note, id, title, content);
  return id;
}

int ItemOperations::UpdateItem(std::uint32_t note, std::uint32_t item, std::u16string_view title,
                               std::u16string_view content) {
  // The hook journals the old item; under the lock, no other update of the
  // same item can come between the change and its journal entry.
  if (!FitsStoredLimit(content)) return 2;
  std::lock_guard lock(appMutex_);
  if (!ItemExists(db_, note, item)) return 1;
  std::u16string oldTitle, oldContent;
  if (ExchangeText(db_, ItemFieldKey(note, item_field::kTitle, item), title, &oldTitle) != 0) return 0;
  if (oldTitle != title) {
    RemoveOrderEntry(db_, note, item, oldTitle);
    (void)SetOrderEntry(db_, note, item, title);
  }
  if (ExchangeText(db_, ItemFieldKey(note, item_field::kContent, item), content, &oldContent) != 0) return 0;
  sync_.OnItemUpdated(note, item, oldTitle, oldContent, title, content);
  return 0;
}

int ItemOperations::DeleteItem(std::uint32_t note, std::uint32_t item, bool notifySync) {
  std::u16string oldTitle, oldContent;
  int result = 1;
  {
    std::lock_guard lock(appMutex_);
    const Key marker = ItemMarkerKey(note, item);
    if (db_.Erase(marker, static_cast<std::uint32_t>(marker.size())) > 0) {
      (void)StepCounter(db_, NoteFieldKey(note, note_field::kItemCount), 0xFFFFFFFFu, nullptr);
      result = 0;
    }
    // The whole stored title, so that the key matches the one written at
    // creation even for titles of thousands of characters.
    std::vector<std::uint8_t> stored;
    (void)db_.GetValue(ItemFieldKey(note, item_field::kTitle, item), &stored);
    RemoveOrderEntry(db_, note, item, Utf16FromBytes(stored));
    (void)ExchangeText(db_, ItemFieldKey(note, item_field::kTitle, item), {}, &oldTitle);
    (void)ExchangeText(db_, ItemFieldKey(note, item_field::kContent, item), {}, &oldContent);
  }
  // Told even when the marker was already gone: the hook decides from the
  // old texts whether the server still holds something to delete.
  if (notifySync) sync_.OnItemDeleted(note, oldTitle, oldContent);
  return result;
}

RestoreResult ItemOperations::RestoreItem(std::uint32_t note, const ItemRecord& item) {
  if (item.id == 0) return {RestoreStatus::BadItemId};
  if (item.title.empty()) return {RestoreStatus::NoTitle};
  if (item.iconPath.size() * 2 > kMaxIconPathBytes) return {RestoreStatus::IconPathTooLong};
  if (!NoteExists(db_, note)) return {RestoreStatus::NoteMissing};
  std::uint32_t count = 0;
  if (const int rc = StepCounter(db_, NoteFieldKey(note, note_field::kItemCount), 0, &count); rc != 0)
    return {RestoreStatus::StoreFailed, rc};
  if (count >= kMaxItemsPerNote) return {RestoreStatus::NoteFull};
  const std::uint8_t zero = 0;
  std::uint8_t old = 0;
  std::uint32_t oldLength = 1;
  if (const int rc = db_.Exchange(ItemMarkerKey(note, item.id), &zero, 1, &old, &oldLength); rc != 0)
    return {RestoreStatus::StoreFailed, rc};
  if (oldLength != 0) return {RestoreStatus::ItemExists};
  if (const int rc = StepCounter(db_, NoteFieldKey(note, note_field::kItemCount), 1, nullptr); rc != 0)
    return {RestoreStatus::StoreFailed, rc};
  // Never lowered: a counter above every live id keeps deleted ids retired.
  if (GetNoteU32(db_, note, note_field::kItemIdCounter, 0) < item.id)
    if (const int rc = PutNoteU32(db_, note, note_field::kItemIdCounter, item.id); rc != 0)
      return {RestoreStatus::StoreFailed, rc};
  if (const int rc = PutText(db_, ItemFieldKey(note, item_field::kTitle, item.id), item.title); rc != 0)
    return {RestoreStatus::StoreFailed, rc};
  if (const int rc = PutText(db_, ItemFieldKey(note, item_field::kContent, item.id), item.content); rc != 0)
    return {RestoreStatus::StoreFailed, rc};
  if (item.iconIndex)
    if (const int rc = PutItemIconIndex(db_, note, item.id, *item.iconIndex); rc != 0)
      return {RestoreStatus::StoreFailed, rc};
  if (!item.iconPath.empty())
    if (const int rc = PutItemIconPath(db_, note, item.id, item.iconPath); rc != 0)
      return {RestoreStatus::StoreFailed, rc};
  if (const int rc = SetOrderEntry(db_, note, item.id, item.title); rc != 0) return {RestoreStatus::StoreFailed, rc};
  return {};
}

std::uint32_t ItemOperations::CopyOrMoveItem(std::uint32_t from, std::uint32_t item, std::uint32_t to, bool copy) {
  if (from == to && !copy) return 0;
  const std::u16string title = GetItemTitle(db_, from, item).substr(0, 5032);
  std::u16string content = GetItemContent(db_, from, item);
  // An encrypted body is carried whole (it fits the stored limit already):
  // cut, it could not be decrypted again.
  if (!HasEncryptedTag(content)) content.resize(std::min<std::size_t>(content.size(), 30752));
  const std::uint32_t id = CreateItem(to, title, content, true);
  if (id != 0 && !copy) (void)DeleteItem(from, item, true);
  return id;
}

std::uint32_t ItemOperations::CreateLinkItem(std::uint32_t linked, std::uint32_t into) {
  const std::u16string title = u">" + GetNoteDisplayName(db_, linked).substr(0, 126);
  return CreateItem(into, title, u"<open>" + Decimal(linked), true);
}

std::uint32_t ItemOperations::CreateItemOrNote(std::uint32_t note, std::u16string_view title,
                                               std::u16string_view content, std::uint32_t* newNote) {
  if (newNote) *newNote = 0;
  std::u16string body(content);
  if (title.size() > 1 && title.front() == u'>' && content.empty()) {
    const std::uint32_t created = CreateNote(db_, title.substr(1));
    if (created == 0) return 0;
    if (newNote) *newNote = created;
    body = u"<open>" + Decimal(created);
  }
  return CreateItem(note, title, body, true);
}

}  // namespace vellumo::model
