#include "model/items.h"

#include <algorithm>
#include <bit>

#include "model/notes.h"
#include "model/records.h"
#include "platform/codepage.h"
#include "store/trie_format.h"

namespace vellumo::model {

std::vector<std::uint8_t> OrderKey(std::uint32_t note, std::uint32_t item, std::u16string_view title) {
  std::string text = platform::WideToAnsi(title);
  if (text.size() > kMaxTitleKeyBytes) {
    // Never keep half of a double-byte character.
    std::size_t cut = 0;
    while (cut < text.size()) {
      const std::size_t width = static_cast<unsigned char>(text[cut]) > 0x80 && cut + 1 < text.size() ? 2 : 1;
      if (cut + width > kMaxTitleKeyBytes) break;
      cut += width;
    }
    text.resize(cut);
  }
  std::vector<std::uint8_t> folded;
  folded.reserve(text.size());
  std::size_t firstFolded = std::string::npos;
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<std::uint8_t>(text[i]);
    if (c > 0x80) {
      // A lead byte: its trail byte is not a letter of its own.
      folded.push_back(c);
      if (i + 1 < text.size()) folded.push_back(static_cast<std::uint8_t>(text[++i]));
      continue;
    }
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<std::uint8_t>(c + ('a' - 'A'));
      if (firstFolded == std::string::npos) firstFolded = i;
    }
    folded.push_back(c);
  }
  std::uint8_t mark = 0;
  if (firstFolded != std::string::npos) mark = firstFolded > 254 ? 1 : static_cast<std::uint8_t>(255 - firstFolded);
  return record_keys::OrderEntryKey(note, folded, mark, item);
}

int SetOrderEntry(Ku& db, std::uint32_t note, std::uint32_t item, std::u16string_view title) {
  const std::uint8_t zero = 0;
  return db.Put(OrderKey(note, item, title), &zero, 1);
}

void RemoveOrderEntry(Ku& db, std::uint32_t note, std::uint32_t item, std::u16string_view title) {
  const Key k = OrderKey(note, item, title);
  db.Erase(k, static_cast<std::uint32_t>(k.size()));
}

namespace {

std::u16string GetItemText(Ku& db, std::uint32_t note, std::uint32_t item, std::uint8_t field) {
  std::vector<std::uint8_t> v;
  (void)db.GetValue(ItemFieldKey(note, field, item), &v);
  return Utf16FromBytes(v);
}

std::u16string_view ReadItemText(Ku& db, std::uint32_t note, std::uint32_t item, std::uint8_t field,
                                 std::u16string& scratch) {
  // Stored texts are UTF-16LE, as this machine holds them: read straight
  // into the string, one walk of the trie and no copy.
  static_assert(std::endian::native == std::endian::little);
  constexpr std::uint32_t kUnits = (trie::kMaxValueLength + 1) / 2;
  if (scratch.size() < kUnits) scratch.resize(kUnits);
  std::uint32_t length = kUnits * 2;
  if (db.Get(ItemFieldKey(note, field, item), reinterpret_cast<std::uint8_t*>(scratch.data()), &length) != 0)
    return {};
  return {scratch.data(), std::min(length, kUnits * 2) / 2};
}

int PutItemText(Ku& db, std::uint32_t note, std::uint32_t item, std::uint8_t field, std::u16string_view text) {
  const auto bytes = Utf16ToBytes(text);
  return db.Put(ItemFieldKey(note, field, item), bytes.empty() ? nullptr : bytes.data(),
                static_cast<std::uint32_t>(bytes.size()));
}

}  // namespace

std::u16string GetItemTitle(Ku& db, std::uint32_t note, std::uint32_t item) {
  return GetItemText(db, note, item, item_field::kTitle);
}

std::u16string GetItemContent(Ku& db, std::uint32_t note, std::uint32_t item) {
  return GetItemText(db, note, item, item_field::kContent);
}

std::u16string_view ReadItemTitle(Ku& db, std::uint32_t note, std::uint32_t item, std::u16string& scratch) {
  return ReadItemText(db, note, item, item_field::kTitle, scratch);
}

std::u16string_view ReadItemContent(Ku& db, std::uint32_t note, std::uint32_t item, std::u16string& scratch) {
  return ReadItemText(db, note, item, item_field::kContent, scratch);
}

int PutItemContent(Ku& db, std::uint32_t note, std::uint32_t item, std::u16string_view content) {
  return PutItemText(db, note, item, item_field::kContent, content.substr(0, kMaxStoredContentChars));
}

std::uint32_t GetItemIconIndex(Ku& db, std::uint32_t note, std::uint32_t item) {
  std::uint8_t raw[4];
  std::uint32_t length = 4;
  if (db.Get(ItemFieldKey(note, item_field::kIconIndex, item), raw, &length) != 0 || length != 4) return 0;
  return LoadU32LE(raw);
}

int PutItemIconIndex(Ku& db, std::uint32_t note, std::uint32_t item, std::uint32_t index) {
  std::uint8_t raw[4];
  StoreU32LE(raw, index);
  return db.Put(ItemFieldKey(note, item_field::kIconIndex, item), raw, 4);
}

std::u16string GetItemIconPath(Ku& db, std::uint32_t note, std::uint32_t item) {
  return GetItemText(db, note, item, item_field::kIconPath);
}

int PutItemIconPath(Ku& db, std::uint32_t note, std::uint32_t item, std::u16string_view path,
                    ModelNotifier* notifier) {
  if (path.size() * 2 > kMaxIconPathBytes) {
    if (notifier) notifier->ShowMessage(kIconPathTooLongText, u"错误");
    return 1;
  }
  if (path.empty()) {
    (void)db.Put(ItemFieldKey(note, item_field::kIconPath, item), nullptr, 0);
    return 0;
  }
  return PutItemText(db, note, item, item_field::kIconPath, path);
}

bool ItemExists(Ku& db, std::uint32_t note, std::uint32_t item) {
  std::uint32_t length = 0;
  return db.Get(ItemMarkerKey(note, item), nullptr, &length) == 0 && length > 0;
}

std::uint32_t ItemCount(Ku& db, std::uint32_t note) {
  return std::min(GetNoteU32(db, note, note_field::kItemCount, 0), kMaxItemsPerNote);
}

namespace {
struct Listing {
  std::uint32_t skip;
  std::uint32_t* ids;
  std::uint32_t capacity;
  std::uint32_t seen = 0;
  std::uint32_t taken = 0;
};

int CollectItem(const std::uint8_t* key, std::uint32_t length, const std::uint8_t*, void* context, Ku&) {
  auto* l = static_cast<Listing*>(context);
  if (length < kMinOrderEntryBytes) return 1;
  if (l->seen++ < l->skip) return 1;
  if (l->taken == l->capacity) return 0;
  l->ids[l->taken++] = OrderEntryItem({key, length});
  return 1;
}

// Ku's lock is re-entrant, so the single operations inside still take it.
class DatabaseLock {
 public:
  explicit DatabaseLock(Ku& db) : db_(db) { db_.Lock(); }
  ~DatabaseLock() { db_.Unlock(); }
  DatabaseLock(const DatabaseLock&) = delete;
  DatabaseLock& operator=(const DatabaseLock&) = delete;

 private:
  Ku& db_;
};

int CollectOrderEntry(const std::uint8_t* key, std::uint32_t length, const std::uint8_t*, void* context, Ku&) {
  if (length >= kMinOrderEntryBytes) static_cast<std::vector<Key>*>(context)->emplace_back(key, key + length);
  return 1;
}
}  // namespace

std::uint32_t ListItems(Ku& db, std::uint32_t start, std::uint32_t* ids, std::uint32_t capacity, std::uint32_t note) {
  Listing l{start, ids, capacity};
  db.Scan(OrderPrefix(note), 6, kMaxOrderKeyBytes + 5, &CollectItem, &l);
  return l.taken;
}

int RepairNote(Ku& db, std::uint32_t note, NoteRepairs* done) {
  NoteRepairs repairs;
  // One locked step, so that no single operation of another thread lands
  // between the walk and the fixes.  CreateItem steps the count before it
  // writes the order entry; a repair that falls between the two leaves the
  // count one short, which the next repair corrects.
  DatabaseLock lock(db);
  std::vector<Key> entries;
  db.Scan(OrderPrefix(note), 6, kMaxOrderKeyBytes + 5, &CollectOrderEntry, &entries);
  std::uint32_t live = 0;
  for (const Key& entry : entries) {
    // An entry whose item has no title is what an interrupted deletion
    // leaves behind; it would show as an empty cell.
    std::uint32_t length = 0;
    const std::uint32_t item = OrderEntryItem(entry);
    if (db.Get(ItemFieldKey(note, item_field::kTitle, item), nullptr, &length) == 0 && length > 0) {
      ++live;
    } else if (db.Erase(entry, static_cast<std::uint32_t>(entry.size())) > 0) {
      ++repairs.staleEntriesRemoved;
    }
  }
  repairs.oldCount = GetNoteU32(db, note, note_field::kItemCount, 0);
  repairs.newCount = live;
  int rc = 0;
  if (live != repairs.oldCount) {
    rc = PutNoteU32(db, note, note_field::kItemCount, live);
    repairs.countRewritten = rc == 0;
  }
  if (done) *done = repairs;
  return rc;
}

std::vector<std::uint32_t> ListItems(Ku& db, std::uint32_t note) {
  std::vector<std::uint32_t> ids(kMaxItemsPerNote);
  ids.resize(ListItems(db, 0, ids.data(), kMaxItemsPerNote, note));
  return ids;
}

std::uint32_t AdjacentItemId(Ku& db, std::uint32_t note, std::uint32_t b, int step) {
  const std::uint32_t d = GetNoteU32(db, note, note_field::kItemIdCounter, 0);
  if (step > 0) {
    for (std::uint64_t id = static_cast<std::uint64_t>(b) + 1; id <= d; ++id)
      if (ItemExists(db, note, static_cast<std::uint32_t>(id))) return static_cast<std::uint32_t>(id);
    return 0;
  }
  std::uint32_t id = b > d + 1ull ? d : b - 1;
  if (b == 0) return 0;
  for (; id >= 1; --id)
    if (ItemExists(db, note, id)) return id;
  return 0;
}

std::uint32_t IconSourceOfContent(std::u16string_view content, std::u16string* source) {
  source->clear();
  content = content.substr(0, 2000);
  if (content.empty() || content.front() != u'<') return icon_kind::kPlain;
  auto starts = [&](std::u16string_view tag) { return content.substr(0, tag.size()) == tag; };
  if (starts(u"<open>") || starts(u"<OPEN>")) return icon_kind::kOpenNotes;
  if (starts(u"<cmd>")) return icon_kind::kCommand;
  if (starts(u"<v>")) return icon_kind::kPaste;
  if (HasEncryptedTag(content)) return icon_kind::kEncryptedKeys;
  if (starts(u"<a>") || starts(u"<A>")) return icon_kind::kKeys;
  if (!starts(u"<run>")) return icon_kind::kPlain;

  std::u16string target(content.substr(5));
  if (auto bar = target.find(u'|'); bar != std::u16string::npos) target.resize(bar);
  if (auto comment = target.find(u"<>"); comment != std::u16string::npos) target.resize(comment);
  auto lower = [](std::u16string s) {
    for (auto& c : s)
      if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    return s;
  };
  const std::u16string head = lower(target.substr(0, 8));
  if (head.rfind(u"http://", 0) == 0 || head.rfind(u"https://", 0) == 0) {
    *source = u".url";
    return icon_kind::kFromFile;
  }
  const auto dot = target.rfind(u'.');
  if (dot != std::u16string::npos && dot != 0 && target.size() - dot < 8) {
    const std::u16string ext = lower(target.substr(dot));
    if (ext == u".ico" || ext == u".exe" || ext == u".lnk") *source = target;
    else *source = ext;
    return icon_kind::kFromFile;
  }
  *source = target;
  return icon_kind::kFromFile;
}

std::uint32_t ItemIconSource(Ku& db, std::uint32_t note, std::uint32_t item, std::u16string* source) {
  std::u16string path = GetItemIconPath(db, note, item);
  if (!path.empty()) {
    *source = path.substr(0, 2000);
    return GetItemIconIndex(db, note, item);
  }
  return IconSourceOfContent(GetItemContent(db, note, item), source);
}

}  // namespace vellumo::model
