#pragma once
// What the note and item commands and the export share: argument parsing,
// read-only listing and text display.
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

// The stored value, empty when absent or unreadable.
std::vector<std::uint8_t> ReadValue(Ku& db, std::span<const std::uint8_t> key);

// Item ids in list order, as ListItems gives them but without a cap, and an
// id named by two entries listed once (the export must not repeat an item).
std::vector<std::uint32_t> OrderedItemIds(Ku& db, std::uint32_t note);

// One line of tab-separated output: backslash, tab, line feed and carriage
// return become \\ \t \n \r, other control characters \xHH, unpaired
// surrogates U+FFFD.
std::string EscapedForLine(std::u16string_view text);

}  // namespace vellumo::dbtool
