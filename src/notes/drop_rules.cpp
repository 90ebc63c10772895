#include "notes/drop_rules.h"

#include <cstdio>

#include "actions/open_list.h"

namespace vellumo::notes {

namespace {

constexpr std::size_t kClassifiedChars = 1020;

constexpr char16_t AsciiLower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

bool EndsWithFolded(std::u16string_view text, std::u16string_view lowerSuffix) {
  if (text.size() < lowerSuffix.size()) return false;
  const std::u16string_view tail = text.substr(text.size() - lowerSuffix.size());
  for (std::size_t i = 0; i < tail.size(); ++i)
    if (AsciiLower(tail[i]) != lowerSuffix[i]) return false;
  return true;
}

std::u16string_view CutAt(std::u16string_view text, std::u16string_view mark) {
  const std::size_t at = text.find(mark);
  return at == std::u16string_view::npos ? text : text.substr(0, at);
}

// The number after "!" in a prefix, read as wcstol would: an optional sign
// and the digits that follow; 0 when there are none.
int PrefixNumber(std::u16string_view digits) {
  std::size_t i = 0;
  bool negative = false;
  if (i < digits.size() && (digits[i] == u'+' || digits[i] == u'-')) negative = digits[i++] == u'-';
  int value = 0;
  for (; i < digits.size() && digits[i] >= u'0' && digits[i] <= u'9'; ++i) value = value * 10 + (digits[i] - u'0');
  return negative ? -value : value;
}

std::u16string Ascii(const char* text) {
  std::u16string out;
  for (; *text; ++text) out += static_cast<char16_t>(*text);
  return out;
}

}  // namespace

std::uint32_t ChooseDropEffect(bool accepted, bool ctrl, bool shift, std::uint32_t allowed) {
  using namespace drop_effect;
  if (!accepted) return kLink;
  std::uint32_t chosen;
  if (ctrl && shift) {
    chosen = kLink;
  } else if (ctrl) {
    chosen = kCopy;
  } else if (shift) {
    chosen = kMove;
  } else if (allowed & kMove) {
    chosen = kMove;
  } else if (allowed & kCopy) {
    chosen = kCopy;
  } else {
    chosen = kLink;
  }
  if ((chosen == kMove || chosen == kCopy) && !(allowed & chosen)) chosen = kLink;
  return chosen;
}

DropOnItem ClassifyDropOnItem(std::u16string_view content) {
  content = content.substr(0, kClassifiedChars);
  DropOnItem result;
  if (content.starts_with(u"<run>")) {
    const std::u16string_view program = CutAt(CutAt(content, u"|"), u"<>");
    if (EndsWithFolded(program, u".lnk") || EndsWithFolded(program, u".exe") || EndsWithFolded(program, u".bat")) {
      result.kind = DropOnItem::Kind::Program;
      result.command = std::u16string(program) + u"|";
    }
  } else if (content.starts_with(u"<open>") || content.starts_with(u"<OPEN>")) {
    result.kind = DropOnItem::Kind::OpenNote;
    const std::vector<std::uint32_t> notes = actions::ParseOpenList(content.substr(6));
    result.note = notes.empty() ? 0 : notes.front();
  }
  return result;
}

ProgramArguments::ProgramArguments(std::u16string command) : buffer_(std::move(command)) {
  if (buffer_.size() > kFullAt) buffer_.resize(kFullAt);
}

bool ProgramArguments::Add(std::u16string_view path) {
  if (buffer_.size() > kFullAt || path.size() > kMaxPathChars) return false;
  buffer_ += u'"';
  buffer_ += path;
  buffer_ += u"\" ";
  ++count_;
  return true;
}

std::u16string ProgramArguments::RunText() const {
  std::u16string_view text = buffer_;
  if (text.starts_with(u"<run>")) text.remove_prefix(5);
  if (text.ends_with(u' ')) text.remove_suffix(1);
  return std::u16string(text);
}

std::u16string ShortcutTitle(std::u16string_view descriptorName) {
  std::u16string_view title = descriptorName;
  if (title.size() > 4 && title[title.size() - 4] == u'.') title.remove_suffix(4);
  return std::u16string(title.substr(0, kMaxShortcutTitleChars));
}

std::u16string ShortcutContent(std::u16string_view url) { return u"<run>" + std::u16string(url.substr(0, kMaxUrlChars)); }

DroppedText MakeTextItem(std::u16string_view text) {
  DroppedText item;
  if (text.size() > kLongTextChars) {
    // The limit and the cut differ by one unit, as the message always did.
    text = text.substr(0, kLongTextChars + 1);
    item.cut = true;
  }
  item.content = u"<v>" + std::u16string(text);
  item.title = u">" + std::u16string(text.substr(0, kMaxTextTitleChars - 1));
  return item;
}

std::optional<std::u16string> ReorderedTitle(std::u16string_view titleI, std::u16string_view titleJ) {
  const std::size_t bar = titleI.find(u'|');
  const std::u16string_view rest = bar == std::u16string_view::npos ? titleI : titleI.substr(bar + 1);

  std::u16string_view prefix = CutAt(titleJ.substr(0, 10), u"|");
  const bool same = titleI.starts_with(prefix);
  const std::size_t bang = prefix.find(u'!');
  std::u16string newPrefix;
  if (bang != std::u16string_view::npos && titleJ.find(u'|') != std::u16string_view::npos) {
    const int n = PrefixNumber(prefix.substr(bang + 1));
    const int number = n <= 0 ? 999 : same ? n - 1 : n;
    char digits[16];
    std::snprintf(digits, sizeof digits, "%03d|", number);
    newPrefix = std::u16string(prefix.substr(0, bang + 1)) + Ascii(digits);
  } else {
    newPrefix = std::u16string(prefix.substr(0, 2)) + u"!999|";
  }
  if (titleI.starts_with(newPrefix)) return std::nullopt;
  return newPrefix + std::u16string(rest);
}

}  // namespace vellumo::notes
