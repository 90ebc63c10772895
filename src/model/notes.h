#pragma once
// Notes: their fields, names, trigger flags, life and deletion.  Readers
// return defaults on any failure; callers treat an absent record as absent.
#include <cstdint>
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

void DeleteNote(Ku& db, std::uint32_t note);
void ClearNote(Ku& db, std::uint32_t note);

}  // namespace vellumo::model
