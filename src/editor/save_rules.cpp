#include "editor/save_rules.h"

namespace vellumo::editor {

TitleCheck CheckTitle(std::u16string_view title) {
  if (title.size() > kTitleLimit) return TitleCheck::TooLong;
  if (title.empty()) return TitleCheck::Empty;
  return TitleCheck::Ok;
}

bool IsSecretContent(std::u16string_view content) {
  return content.size() > 3 && content[0] == u'<' && (content[1] == u'k' || content[1] == u'K') && content[2] == u'>';
}

std::optional<std::u16string> NewNoteName(std::u16string_view title, std::u16string_view content) {
  if (!content.empty() || title.size() < 2 || title.front() != u'>') return std::nullopt;
  return std::u16string(title.substr(1));
}

std::u16string OpenNoteContent(std::uint32_t note) {
  std::u16string digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + note % 10));
    note /= 10;
  } while (note != 0);
  return u"<open>" + digits;
}

}  // namespace vellumo::editor
