#include "notes/tooltip_text.h"

#include <algorithm>

#include "protect/secret_content.h"

namespace vellumo::notes {

std::u16string ComposeTooltipText(std::u16string_view title, std::u16string_view content) {
  if (const auto bar = title.find(u'|'); bar != std::u16string_view::npos && bar < kTooltipSortPrefixChars)
    title.remove_prefix(bar + 1);
  std::u16string text(title.substr(0, kTooltipTitleChars));
  if (content.empty()) return text;

  if (protect::HasSecretTag(content)) {
    // The body of an encrypted sequence is never shown, not even encrypted.
    content = content.substr(0, protect::kSecretTagUnits);
  } else {
    content = content.substr(0, kTooltipContentReadChars);
    std::size_t returns = 0;
    for (std::size_t i = 0; i < content.size(); ++i) {
      if (content[i] == u'\r' && ++returns > kTooltipContentReturns) {
        content = content.substr(0, i);
        break;
      }
    }
  }
  text += u"\r\n";
  text += content;
  return text;
}

std::vector<std::u16string_view> TooltipLines(std::u16string_view text) {
  std::vector<std::u16string_view> lines;
  for (;;) {
    const auto newline = text.find(u'\n');
    std::u16string_view line = text.substr(0, newline);
    if (line.ends_with(u'\r')) line.remove_suffix(1);
    lines.push_back(line);
    if (newline == std::u16string_view::npos) return lines;
    text.remove_prefix(newline + 1);
  }
}

TextExtent MeasureTooltipText(std::u16string_view text,
                              const std::function<TextExtent(std::u16string_view line)>& measureLine) {
  TextExtent total;
  for (std::u16string_view line : TooltipLines(text)) {
    const TextExtent e = measureLine(line);
    total.width = std::max(total.width, e.width);
    total.height += e.height;
  }
  return total;
}

TooltipRect PlaceTooltip(int pointerX, int pointerY, TextExtent text, int workAreaRight) {
  TooltipRect r;
  r.width = text.width + 32 > workAreaRight ? workAreaRight - 18 : text.width + 14;
  r.left = pointerX + 18;
  if (r.left + r.width > workAreaRight) r.left = workAreaRight - r.width;
  r.top = pointerY + 18;
  r.height = text.height + 8;
  return r;
}

}  // namespace vellumo::notes
