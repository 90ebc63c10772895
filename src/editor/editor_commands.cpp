#include "editor/editor_commands.h"

#include <algorithm>
#include <limits>

#include "editor/save_rules.h"
#include "editor/utf16_cut.h"

namespace vellumo::editor {

namespace {

std::u16string_view Head(std::u16string_view text, std::size_t limit) { return text.substr(0, CutPoint(text, limit)); }

std::u16string Decimal(std::uint32_t n) {
  std::u16string digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + n % 10));
    n /= 10;
  } while (n != 0);
  return digits;
}

}  // namespace

std::u16string EditorCaption(std::uint32_t note, std::uint32_t item, std::u16string_view title,
                             std::u16string_view noteName) {
  std::u16string caption = Decimal(note) + u".";
  if (item == 0) {
    caption += u"新建 - ";
  } else {
    caption += Decimal(item) + u" ";
    caption += Head(title, kCaptionTitleUnits);
    caption += u" - ";
  }
  return caption.append(Head(noteName, kCaptionNoteNameUnits));
}

std::u16string NewItemCaption(std::uint32_t note, std::uint32_t item, bool copy, std::u16string_view noteName) {
  std::u16string caption = Decimal(note) + u".";
  if (copy && item != 0) {
    caption += Decimal(item) + u" <的副本> - ";
  } else {
    caption += copy ? u"新建副本 - " : u"新建 - ";
  }
  return caption.append(Head(noteName, kCaptionNoteNameUnits));
}

std::uint32_t StepTarget(std::span<const std::uint32_t> ids, std::uint32_t current, int step) {
  if (step > 0) {
    const auto it = std::upper_bound(ids.begin(), ids.end(), current);
    return it == ids.end() ? 0 : *it;
  }
  if (current == 0) return ids.empty() ? 0 : ids.back();
  const auto it = std::lower_bound(ids.begin(), ids.end(), current);
  return it == ids.begin() ? 0 : *(it - 1);
}

std::uint32_t StepTarget(std::uint32_t current, int step,
                         const std::function<std::uint32_t(std::uint32_t, int)>& adjacent) {
  if (step < 0 && current == 0) return adjacent(std::numeric_limits<std::uint32_t>::max(), -1);
  return adjacent(current, step > 0 ? 1 : -1);
}

WrapPlan PlanWrapSwap(std::u16string_view visibleText) {
  if (visibleText.size() <= kContentLimit) return {std::nullopt, visibleText.size()};
  return {Message{u"文本内容已超过最大限制（30KB），是否截断并丢弃多余长度？", u"提示"},
          CutPoint(visibleText, kContentLimit)};
}

}  // namespace vellumo::editor
