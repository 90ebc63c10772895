#pragma once
// What the item tooltip shows and where: the text composed from an item's
// title and content, and the window rectangle next to the pointer.  Portable
// so that the rules are tested without a display; item_tooltip_win.cpp
// measures with GDI and shows the window.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vellumo::notes {

// The tooltip's text buffer, in UTF-16 units with the terminator; the
// longest composed text (255 + 2 + 1024) fits.
inline constexpr std::size_t kTooltipTextUnits = 1288;
// How much of an item the tooltip reads.
inline constexpr std::size_t kTooltipTitleReadChars = 256;
inline constexpr std::size_t kTooltipContentReadChars = 1024;

inline constexpr std::size_t kTooltipTitleChars = 255;
// A "|" this early in a title separates a sort prefix that is not shown.
inline constexpr std::size_t kTooltipSortPrefixChars = 10;
// The content is cut before its 11th carriage return.
inline constexpr std::size_t kTooltipContentReturns = 10;

// Title (after a sort prefix, at most 255 characters), and when the content
// is not empty a line break and the content: only the tag of an encrypted
// sequence, else at most 1024 characters and 10 carriage returns.
std::u16string ComposeTooltipText(std::u16string_view title, std::u16string_view content);

// The lines the window measures: split at "\n", without the "\r" before it.
std::vector<std::u16string_view> TooltipLines(std::u16string_view text);

struct TextExtent {
  int width = 0;
  int height = 0;
};
// Widest line and the sum of the line heights.
TextExtent MeasureTooltipText(std::u16string_view text,
                              const std::function<TextExtent(std::u16string_view line)>& measureLine);

struct TooltipRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};
// Below right of the pointer (x, y); a tooltip that would pass the right
// edge of the work area is moved left so that it ends there, never up.
TooltipRect PlaceTooltip(int pointerX, int pointerY, TextExtent text, int workAreaRight);

}  // namespace vellumo::notes
