#pragma once
// Notes: their fields, names, trigger flags, life and deletion.  Readers
// return defaults on any failure; callers treat an absent record as absent.
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "store/ku.h"

namespace vellumo::model {

namespace note_field {
inline constexpr std::uint8_t kLegacyNoTitleBar = 1, kLegacyNoIconText = 2, kLegacyPassLook = 3,
                              kLegacyItemWidth = 4, kLegacyItemHeight = 5, kLegacyIconSize = 6,
                              kLegacyTextRight = 7, kWindowX = 9, kWindowY = 10, kWindowWidth = 11,
                              kWindowHeight = 12, kHotkey = 13, kLegacyFocusedAlpha = 14,
                              kLegacyUnfocusedAlpha = 15, kItemIdCounter = 16, kItemCount = 17,
                              kScrollPosition = 18, kLegacyRefuseParentLook = 19, kSyncId = 20,
                              kSyncPassword = 21, kLegacyRememberPosition = 24, kLegacyNoAutoClose = 25,
                              kOwnAppearance = 34, kCustomColours = 35, kSchemeName = 36;
}  // namespace note_field

// Every note field: its number, its name, how it is stored and, for u32
// fields, the value an absent or malformed record reads as.
struct NoteFieldInfo {
  enum Type { U32, Text, Block };
  std::uint8_t field;
  std::string_view name;
  Type type;
  std::uint32_t defaultValue;
  // Held by the pseudo-notes only (the custom colours).
  bool global;
  // Kept by the item operations from the items themselves (the item count);
  // never set from outside.
  bool derived;
};
// In field order.
std::span<const NoteFieldInfo> NoteFields();
const NoteFieldInfo* FindNoteField(std::uint8_t field);
const NoteFieldInfo* FindNoteField(std::u16string_view name);

// Defaults of the u32 fields, for readers that do not pass their own.
std::uint32_t NoteFieldDefault(std::uint8_t field);
// Whether a field holds a u32 (as opposed to text or a block).
bool IsU32NoteField(std::uint8_t field);

namespace trigger {
inline constexpr std::uint32_t kUpDown = 0x0001, kLeftRight = 0x0002, kClockwise = 0x0004,
                               kCounterClockwise = 0x0008, kTopLeft = 0x0010, kTop = 0x0020,
                               kTopRight = 0x0040, kLeft = 0x0080, kRight = 0x0100, kBottomLeft = 0x0200,
                               kBottom = 0x0400, kBottomRight = 0x0800, kNeedShift = 0x1000,
                               kNeedCtrl = 0x2000, kNeedAlt = 0x4000, kAtStart = 0x8000;
// Trigger event k (1..12 edges and gestures, 16 program start) opens a note
// whose flags have bit k-1 and whose required modifiers are all held.
bool Opens(std::uint32_t flags, unsigned event, bool shift, bool ctrl, bool alt);
}  // namespace trigger

inline constexpr std::uint32_t kMaxNoteNameChars = 0x7FFF;

std::uint32_t GetNoteU32(Ku& db, std::uint32_t note, std::uint8_t field, std::uint32_t defaultValue);
[[nodiscard]] int PutNoteU32(Ku& db, std::uint32_t note, std::uint8_t field, std::uint32_t value);
// Zero-fills the buffer, then reads; returns the stored length (may exceed capacity).
std::uint32_t GetNoteBytes(Ku& db, std::uint32_t note, std::uint8_t field, std::uint8_t* buffer,
                           std::uint32_t capacity);
// A length of 0 with data stores the data up to its first zero byte; null
// data with length 0 clears the field.
[[nodiscard]] int PutNoteBytes(Ku& db, std::uint32_t note, std::uint8_t field, const std::uint8_t* data,
                               std::uint32_t length);
std::vector<std::uint8_t> GetNoteValue(Ku& db, std::uint32_t note, std::uint8_t field);
std::u16string GetNoteText(Ku& db, std::uint32_t note, std::uint8_t field);
[[nodiscard]] int PutNoteText(Ku& db, std::uint32_t note, std::uint8_t field, std::u16string_view text);

// "便利贴（%u）": the name of a note that has none of its own.
std::u16string DefaultNoteName(std::uint32_t note);
// Returns the new id, 0 when the counter could not be stepped.
std::uint32_t CreateNote(Ku& db, std::u16string_view name = {});
// Empty when there is no such note.
std::u16string GetNoteName(Ku& db, std::uint32_t note);
// The name, or the default name for a note without one.
std::u16string GetNoteDisplayName(Ku& db, std::uint32_t note);
bool NoteExists(Ku& db, std::uint32_t note);
bool IsHiddenNoteName(std::u16string_view name);
// An empty name changes nothing.
[[nodiscard]] int RenameNote(Ku& db, std::uint32_t note, std::u16string_view name);
// Every existing note in ascending id order.
std::vector<std::uint32_t> ListNotes(Ku& db);

std::uint32_t GetNoteTriggers(Ku& db, std::uint32_t note);
// All-clear flags erase the record.
[[nodiscard]] int PutNoteTriggers(Ku& db, std::uint32_t note, std::uint32_t flags);

enum class RestoreStatus {
  Ok,
  BadNoteId,      // 0 and 0xFFFFFFFF hold global settings
  NoteExists,     // RestoreNote: the id is taken
  NoteMissing,    // RestoreItem: the note has no name
  BadName,        // empty, or longer than kMaxNoteNameChars
  BadField,       // not a note field, a field of the wrong type, or a derived one
  BadItemId,      // item id 0
  ItemExists,     // the item's marker is already claimed
  NoteFull,       // the note holds kMaxItemsPerNote items
  NoTitle,        // an item without a title counts as missing
  IconPathTooLong,
  StoreFailed,    // storeCode says which operation failed
};
struct [[nodiscard]] RestoreResult {
  RestoreStatus status = RestoreStatus::Ok;
  int storeCode = 0;
  bool ok() const { return status == RestoreStatus::Ok; }
};

// Raises NoteIdCounter to at least `highest`, never lowers it, so that
// CreateNote does not issue ids that are about to be restored.
[[nodiscard]] int ReserveNoteIds(Ku& db, std::uint32_t highest);

// A note with everything it carries besides its items, under its own id
// (import).  Fields are keyed by number; their types come from NoteFields().
struct NoteRecord {
  std::uint32_t id = 0;
  std::u16string name;
  std::map<std::uint8_t, std::uint32_t> numbers;
  std::map<std::uint8_t, std::u16string> texts;
  std::map<std::uint8_t, std::vector<std::uint8_t>> blocks;
  std::uint32_t triggers = 0;
};
// Refuses an id that exists or belongs to a pseudo-note, and fields that are
// global, derived or of another type; raises NoteIdCounter to the id first,
// so that CreateNote never issues it.  The items follow with
// ItemOperations::RestoreItem.
RestoreResult RestoreNote(Ku& db, const NoteRecord& note);

void DeleteNote(Ku& db, std::uint32_t note);
void ClearNote(Ku& db, std::uint32_t note);

}  // namespace vellumo::model
