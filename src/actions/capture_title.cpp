#include "actions/capture_title.h"

namespace vellumo::actions {
namespace {

std::u16string Decimal(std::int64_t value) {
  const bool negative = value < 0;
  std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  std::u16string digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + magnitude % 10));
    magnitude /= 10;
  } while (magnitude != 0);
  if (negative) digits.insert(digits.begin(), u'-');
  return digits;
}

}  // namespace

CapturedItem MakeCapturedItem(std::uint32_t itemIdCounter, std::u16string_view text, bool clipboardCut) {
  CapturedItem item;
  item.cut = clipboardCut || text.size() > kMaxCaptureChars;
  text = text.substr(0, kMaxCaptureChars);
  item.title = u"!" + Decimal(std::int64_t{999999} - itemIdCounter) + u"|" + std::u16string(text.substr(0, kCaptureTitleTextChars));
  item.content = u"<v>" + std::u16string(text);
  return item;
}

std::optional<UserMessage> CaptureOutcomeMessage(bool createFailed, bool cut) {
  if (createFailed) return UserMessage{u"剪贴板保存失败，数据被拒绝写入。", u"错误"};
  if (cut) return UserMessage{u"剪贴板内容过长，数据未完整保存。", u"提示"};
  return std::nullopt;
}

}  // namespace vellumo::actions
