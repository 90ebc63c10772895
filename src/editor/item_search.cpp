#include "editor/item_search.h"

#include <algorithm>

#include "editor/utf16_cut.h"
#include "platform/case_fold.h"
#include "protect/secret_content.h"

namespace vellumo::editor {

namespace {

// The walk shared by both forms: after `current` to the end, then from the
// lowest id up to `current`, which is tested last.
template <typename Next, typename Matches>
ItemSearch Walk(std::uint32_t current, Next next, Matches matches) {
  for (std::uint32_t id = next(current); id != 0; id = next(id))
    if (matches(id)) return {ItemSearchResult::Found, id};
  if (current == 0) return {};
  for (std::uint32_t id = next(0); id != 0 && id <= current; id = next(id))
    if (matches(id)) return {id == current ? ItemSearchResult::OnlyCurrent : ItemSearchResult::Found, id};
  return {};
}

bool Matches(std::u16string_view text, std::u16string_view needle, SearchField field) {
  if (field == SearchField::Content && protect::IsSecretContent(text)) return false;
  return ContainsIgnoringCase(text.substr(0, field == SearchField::Title ? kTitleSearchUnits : kContentSearchUnits),
                              needle);
}

}  // namespace

std::u16string LowerForSearch(std::u16string_view text) { return platform::FoldCase(text); }

std::u16string SearchTextFromBox(std::u16string_view box) {
  std::u16string text = LowerForSearch(box.substr(0, kSearchTextUnits));
  if (!text.empty() && IsHighSurrogate(text.back())) text.pop_back();
  return text;
}

SearchBoxStep OnSearchBoxChange(std::u16string_view storedText, std::u16string_view boxText) {
  return SearchTextFromBox(boxText) == storedText ? SearchBoxStep::FindInCurrent : SearchBoxStep::StoreText;
}

bool ContainsIgnoringCase(std::u16string_view text, std::u16string_view needle) {
  return platform::ContainsFolded(text, needle);
}

std::optional<TextMatch> FindInText(std::u16string_view text, std::u16string_view needle, std::size_t from) {
  if (needle.empty()) return std::nullopt;
  const std::u16string lower = LowerForSearch(text);
  if (from >= lower.size()) from = 0;
  std::size_t at = lower.find(needle, from);
  if (at == std::u16string::npos && from != 0) at = lower.find(needle);
  if (at == std::u16string::npos) return std::nullopt;
  return TextMatch{at, at + needle.size()};
}

ItemSearch FindNextItem(std::span<const NoteEntry> items, std::uint32_t current, std::u16string_view needle,
                        SearchField field) {
  const std::u16string lower = LowerForSearch(needle);
  if (lower.empty()) return {};
  auto next = [&](std::uint32_t id) -> std::uint32_t {
    const auto it = std::upper_bound(items.begin(), items.end(), id,
                                     [](std::uint32_t value, const NoteEntry& e) { return value < e.id; });
    return it == items.end() ? 0 : it->id;
  };
  auto matches = [&](std::uint32_t id) {
    const auto it = std::lower_bound(items.begin(), items.end(), id,
                                     [](const NoteEntry& e, std::uint32_t value) { return e.id < value; });
    return Matches(field == SearchField::Title ? it->title : it->content, lower, field);
  };
  return Walk(current, next, matches);
}

ItemSearch FindNextItem(std::uint32_t current, std::u16string_view needle, bool contents,
                        const std::function<std::uint32_t(std::uint32_t)>& next,
                        const std::function<std::u16string(std::uint32_t)>& text) {
  if (needle.empty()) return {};
  const SearchField field = contents ? SearchField::Content : SearchField::Title;
  return Walk(current, next, [&](std::uint32_t id) { return Matches(text(id), needle, field); });
}

std::optional<Message> ItemSearchMessage(ItemSearchResult result, SearchField field) {
  const std::u16string_view caption = field == SearchField::Title ? u"查找标题" : u"查找非加密内容";
  switch (result) {
    case ItemSearchResult::NotFound:
      return Message{u"此便利贴中没有找到！", caption};
    case ItemSearchResult::OnlyCurrent:
      return Message{u"只找到当前一项！", caption};
    case ItemSearchResult::Found:
      break;
  }
  return std::nullopt;
}

}  // namespace vellumo::editor
