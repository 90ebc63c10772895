#include "model/notes.h"

#include <algorithm>
#include <cstdio>

#include "model/records.h"

namespace vellumo::model {

std::span<const NoteFieldInfo> NoteFields() {
  using namespace note_field;
  using I = NoteFieldInfo;
  static constexpr NoteFieldInfo kFields[] = {
      {kLegacyNoTitleBar, "LegacyNoTitleBar", I::U32, 0, false, false},
      {kLegacyNoIconText, "LegacyNoIconText", I::U32, 0, false, false},
      {kLegacyPassLook, "LegacyPassLook", I::U32, 1, false, false},
      {kLegacyItemWidth, "LegacyItemWidth", I::U32, 160, false, false},
      {kLegacyItemHeight, "LegacyItemHeight", I::U32, 22, false, false},
      {kLegacyIconSize, "LegacyIconSize", I::U32, 16, false, false},
      {kLegacyTextRight, "LegacyTextRight", I::U32, 1, false, false},
      {kWindowX, "WindowX", I::U32, 0, false, false},
      {kWindowY, "WindowY", I::U32, 0, false, false},
      {kWindowWidth, "WindowWidth", I::U32, 130, false, false},
      {kWindowHeight, "WindowHeight", I::U32, 180, false, false},
      {kHotkey, "Hotkey", I::U32, 0, false, false},
      {kLegacyFocusedAlpha, "LegacyFocusedAlpha", I::U32, 255, false, false},
      {kLegacyUnfocusedAlpha, "LegacyUnfocusedAlpha", I::U32, 255, false, false},
      {kItemIdCounter, "ItemIdCounter", I::U32, 0, false, false},
      {kItemCount, "ItemCount", I::U32, 0, false, true},
      {kScrollPosition, "ScrollPosition", I::U32, 0, false, false},
      {kLegacyRefuseParentLook, "LegacyRefuseParentLook", I::U32, 0, false, false},
      {kSyncId, "SyncId", I::Text, 0, false, false},
      {kSyncPassword, "SyncPassword", I::Text, 0, false, false},
      {kLegacyRememberPosition, "LegacyRememberPosition", I::U32, 0, false, false},
      {kLegacyNoAutoClose, "LegacyNoAutoClose", I::U32, 0, false, false},
      {kOwnAppearance, "OwnAppearance", I::Block, 0, false, false},
      {kCustomColours, "CustomColours", I::Block, 0, true, false},
      {kSchemeName, "SchemeName", I::Text, 0, false, false},
  };
  return kFields;
}

const NoteFieldInfo* FindNoteField(std::uint8_t field) {
  for (const NoteFieldInfo& info : NoteFields())
    if (info.field == field) return &info;
  return nullptr;
}

const NoteFieldInfo* FindNoteField(std::u16string_view name) {
  for (const NoteFieldInfo& info : NoteFields())
    if (std::equal(name.begin(), name.end(), info.name.begin(), info.name.end(),
                   [](char16_t a, char b) { return a == static_cast<unsigned char>(b); }))
      return &info;
  return nullptr;
}

std::uint32_t NoteFieldDefault(std::uint8_t field) {
  const NoteFieldInfo* info = FindNoteField(field);
  return info ? info->defaultValue : 0;
}

bool IsU32NoteField(std::uint8_t field) {
  const NoteFieldInfo* info = FindNoteField(field);
  return info && info->type == NoteFieldInfo::U32;
}

bool trigger::Opens(std::uint32_t flags, unsigned event, bool shift, bool ctrl, bool alt) {
  if (event < 1 || event > 16 || !(flags & (1u << (event - 1)))) return false;
  if ((flags & kNeedShift) && !shift) return false;
  if ((flags & kNeedCtrl) && !ctrl) return false;
  if ((flags & kNeedAlt) && !alt) return false;
  return true;
}

std::uint32_t GetNoteU32(Ku& db, std::uint32_t note, std::uint8_t field, std::uint32_t defaultValue) {
  std::uint8_t raw[4];
  std::uint32_t length = sizeof raw;
  if (db.Get(NoteFieldKey(note, field), raw, &length) != 0 || length != 4) return defaultValue;
  return LoadU32LE(raw);
}

int PutNoteU32(Ku& db, std::uint32_t note, std::uint8_t field, std::uint32_t value) {
  std::uint8_t raw[4];
  StoreU32LE(raw, value);
  return db.Put(NoteFieldKey(note, field), raw, 4);
}

std::uint32_t GetNoteBytes(Ku& db, std::uint32_t note, std::uint8_t field, std::uint8_t* buffer,
                           std::uint32_t capacity) {
  if (buffer) std::fill(buffer, buffer + capacity, std::uint8_t{0});
  std::uint32_t length = capacity;
  if (db.Get(NoteFieldKey(note, field), buffer, &length) != 0) return 0;
  return length;
}

int PutNoteBytes(Ku& db, std::uint32_t note, std::uint8_t field, const std::uint8_t* data, std::uint32_t length) {
  if (data && length == 0)
    while (length < 0xFFFF && data[length] != 0) ++length;
  return db.Put(NoteFieldKey(note, field), data, length);
}

std::vector<std::uint8_t> GetNoteValue(Ku& db, std::uint32_t note, std::uint8_t field) {
  std::vector<std::uint8_t> v;
  (void)db.GetValue(NoteFieldKey(note, field), &v);
  return v;
}

std::u16string GetNoteText(Ku& db, std::uint32_t note, std::uint8_t field) {
  return Utf16FromBytes(GetNoteValue(db, note, field));
}

int PutNoteText(Ku& db, std::uint32_t note, std::uint8_t field, std::u16string_view text) {
  const auto bytes = Utf16ToBytes(text);
  return db.Put(NoteFieldKey(note, field), bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

std::u16string DefaultNoteName(std::uint32_t note) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%u", note);
  std::u16string name = u"便利贴（";
  for (const char* d = digits; *d; ++d) name.push_back(static_cast<char16_t>(*d));
  name += u"）";
  return name;
}

std::uint32_t CreateNote(Ku& db, std::u16string_view name) {
  std::uint8_t step[4] = {1, 0, 0, 0};
  if (db.PutIf(PutIfMode::AddCounter, NoteIdCounterKey(), step, 4) != 0) return 0;
  const std::uint32_t id = LoadU32LE(step);
  if (id == 0) return 0;
  const std::u16string text = name.empty() ? DefaultNoteName(id) : std::u16string(name.substr(0, kMaxNoteNameChars));
  const auto bytes = Utf16ToBytes(text);
  if (db.Put(NoteMetaKey(kMetaName, id), bytes.data(), static_cast<std::uint32_t>(bytes.size())) != 0) return 0;
  return id;
}

std::u16string GetNoteName(Ku& db, std::uint32_t note) {
  std::vector<std::uint8_t> v;
  if (db.GetValue(NoteMetaKey(kMetaName, note), &v) != 0) return {};
  return Utf16FromBytes(v);
}

std::u16string GetNoteDisplayName(Ku& db, std::uint32_t note) {
  std::u16string name = GetNoteName(db, note);
  return name.empty() ? DefaultNoteName(note) : name;
}

bool NoteExists(Ku& db, std::uint32_t note) {
  std::uint32_t length = 0;
  return db.Get(NoteMetaKey(kMetaName, note), nullptr, &length) == 0 && length > 0;
}

bool IsHiddenNoteName(std::u16string_view name) { return !name.empty() && name.front() == u'!'; }

int RenameNote(Ku& db, std::uint32_t note, std::u16string_view name) {
  if (name.empty()) return 0;
  const auto bytes = Utf16ToBytes(name.substr(0, kMaxNoteNameChars));
  return db.Put(NoteMetaKey(kMetaName, note), bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

namespace {
int CollectNoteIds(const std::uint8_t* key, std::uint32_t length, const std::uint8_t*, void* context, Ku&) {
  if (length == 6 && key[0] == kNoteMetaKind && key[1] == kMetaName)
    static_cast<std::vector<std::uint32_t>*>(context)->push_back(LoadU32LE(key + 2));
  return 1;
}
}  // namespace

std::vector<std::uint32_t> ListNotes(Ku& db) {
  // Keys hold the id little-endian, so the walk's byte order is not id order.
  std::vector<std::uint32_t> ids;
  const Key start{kNoteMetaKind, kMetaName, 0, 0, 0, 0};
  db.Scan(start, 3, 6, &CollectNoteIds, &ids);
  std::sort(ids.begin(), ids.end());
  return ids;
}

std::uint32_t GetNoteTriggers(Ku& db, std::uint32_t note) {
  std::uint8_t raw[4];
  std::uint32_t length = sizeof raw;
  if (db.Get(NoteMetaKey(kMetaTriggers, note), raw, &length) != 0 || length != 4) return 0;
  return LoadU32LE(raw);
}

int PutNoteTriggers(Ku& db, std::uint32_t note, std::uint32_t flags) {
  if (flags == 0) {
    // Clearing a record that was never written is not a failure.
    (void)db.Put(NoteMetaKey(kMetaTriggers, note), nullptr, 0);
    return 0;
  }
  std::uint8_t raw[4];
  StoreU32LE(raw, flags);
  return db.Put(NoteMetaKey(kMetaTriggers, note), raw, 4);
}

int ReserveNoteIds(Ku& db, std::uint32_t highest) {
  if (highest == 0) return 0;
  std::uint8_t raw[4];
  std::uint32_t length = sizeof raw;
  if (db.Get(NoteIdCounterKey(), raw, &length) == 0 && length == 4 && LoadU32LE(raw) >= highest) return 0;
  StoreU32LE(raw, highest);
  return db.Put(NoteIdCounterKey(), raw, 4);
}

RestoreResult RestoreNote(Ku& db, const NoteRecord& note) {
  if (note.id == 0 || note.id == kDefaultSchemeNote) return {RestoreStatus::BadNoteId};
  if (note.name.empty() || note.name.size() > kMaxNoteNameChars) return {RestoreStatus::BadName};
  auto fieldOk = [](std::uint8_t field, NoteFieldInfo::Type type) {
    const NoteFieldInfo* info = FindNoteField(field);
    return info && info->type == type && !info->global && !info->derived;
  };
  for (const auto& [field, value] : note.numbers)
    if (!fieldOk(field, NoteFieldInfo::U32)) return {RestoreStatus::BadField};
  for (const auto& [field, text] : note.texts)
    if (!fieldOk(field, NoteFieldInfo::Text)) return {RestoreStatus::BadField};
  for (const auto& [field, bytes] : note.blocks)
    if (!fieldOk(field, NoteFieldInfo::Block)) return {RestoreStatus::BadField};
  if (NoteExists(db, note.id)) return {RestoreStatus::NoteExists};

  if (const int rc = ReserveNoteIds(db, note.id); rc != 0) return {RestoreStatus::StoreFailed, rc};
  // The name last: a note exists from its name on, so a failure half way
  // leaves records of no note rather than a note missing settings.
  for (const auto& [field, value] : note.numbers)
    if (const int rc = PutNoteU32(db, note.id, field, value); rc != 0) return {RestoreStatus::StoreFailed, rc};
  for (const auto& [field, text] : note.texts)
    if (!text.empty())
      if (const int rc = PutNoteText(db, note.id, field, text); rc != 0) return {RestoreStatus::StoreFailed, rc};
  for (const auto& [field, bytes] : note.blocks)
    if (!bytes.empty())
      if (const int rc = db.Put(NoteFieldKey(note.id, field), bytes.data(), static_cast<std::uint32_t>(bytes.size()));
          rc != 0)
        return {RestoreStatus::StoreFailed, rc};
  if (const int rc = PutNoteTriggers(db, note.id, note.triggers); rc != 0) return {RestoreStatus::StoreFailed, rc};
  const auto name = Utf16ToBytes(note.name);
  if (const int rc = db.Put(NoteMetaKey(kMetaName, note.id), name.data(), static_cast<std::uint32_t>(name.size()));
      rc != 0)
    return {RestoreStatus::StoreFailed, rc};
  return {};
}

void DeleteNote(Ku& db, std::uint32_t note) {
  db.Lock();
  db.Erase(NoteMetaKey(kMetaName, note), 6);
  db.Erase(NoteMetaKey(kMetaTriggers, note), 6);
  db.Erase(NoteMetaKey(kMetaUnused, note), 6);
  db.Erase(ItemFieldPrefix(note), 10);
  // Order keys reach 10011 bytes with a 5000-character CJK title.
  db.Erase(OrderPrefix(note), kMaxOrderKeyBytes);
  db.Erase(NotePrefix(note), 10);
  db.Unlock();
}

void ClearNote(Ku& db, std::uint32_t note) {
  db.Lock();
  db.Erase(ItemFieldPrefix(note), 10);
  db.Erase(OrderPrefix(note), kMaxOrderKeyBytes);
  // [01][id][10h] is both the ItemIdCounter and the prefix of every marker.
  db.Erase(NoteFieldKey(note, kItemMarkerField), 10);
  db.Erase(NoteFieldKey(note, note_field::kItemCount), 6);
  db.Unlock();
}

}  // namespace vellumo::model
