#pragma once
// What the note and item commands and the export share: argument parsing,
// the names of the u32 note fields, read-only listing and text display.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "store/ku.h"

namespace vellumo::dbtool {

// Decimal or 0x-hexadecimal, 0 to 0xFFFFFFFF.
std::optional<std::uint32_t> ParseU32(std::string_view text, std::string_view what, std::string* error);

struct NoteFieldName {
  std::uint8_t field;
  std::string_view name;
};
// Every u32 note field, in field order.
std::span<const NoteFieldName> U32NoteFieldNames();
std::optional<std::uint8_t> U32NoteFieldByName(std::u16string_view name);

// The stored value, empty when absent or unreadable.
std::vector<std::uint8_t> ReadValue(Ku& db, std::span<const std::uint8_t> key);

// Item ids in list order, read from the order index without the repairs
// that ListItems and GetItemTitle make: looking must not change anything.
// An id named by two entries is listed once.
std::vector<std::uint32_t> OrderedItemIds(Ku& db, std::uint32_t note);

// One line of tab-separated output: backslash, tab, line feed and carriage
// return become \\ \t \n \r, other control characters \xHH, unpaired
// surrogates U+FFFD.
std::string EscapedForLine(std::u16string_view text);

}  // namespace vellumo::dbtool
