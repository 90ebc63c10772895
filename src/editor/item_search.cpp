#include "editor/item_search.h"

#include "platform/case_fold.h"

namespace vellumo::editor {

namespace {

constexpr std::size_t kTitleUnits = 5016;
constexpr std::size_t kContentUnits = 30736;

bool IsEncrypted(std::u16string_view content) {
  return content.size() >= 3 && content[0] == u'<' && (content[1] == u'k' || content[1] == u'K') && content[2] == u'>';
}

}  // namespace

std::u16string LowerForSearch(std::u16string_view text) { return platform::FoldCase(text); }

std::optional<TextMatch> FindInText(std::u16string_view text, std::u16string_view needle, std::size_t from) {
  if (needle.empty()) return std::nullopt;
  const std::u16string lower = LowerForSearch(text);
  if (from >= lower.size()) from = 0;
  std::size_t at = lower.find(needle, from);
  if (at == std::u16string::npos && from != 0) at = lower.find(needle);
  if (at == std::u16string::npos) return std::nullopt;
  return TextMatch{at, at + needle.size()};
}

ItemSearch FindNextItem(std::uint32_t current, std::u16string_view needle, bool contents,
                        const std::function<std::uint32_t(std::uint32_t)>& next,
                        const std::function<std::u16string(std::uint32_t)>& text) {
  if (needle.empty()) return {};
  auto matches = [&](std::uint32_t item) {
    std::u16string value = text(item);
    if (contents && IsEncrypted(value)) return false;
    value.resize(std::min(value.size(), contents ? kContentUnits : kTitleUnits));
    return LowerForSearch(value).find(needle) != std::u16string::npos;
  };
  // After the current item to the end, then once more from the lowest id
  // up to the current one.
  for (std::uint32_t id = next(current); id != 0; id = next(id))
    if (id != current && matches(id)) return {ItemSearchResult::Found, id};
  for (std::uint32_t id = next(0); id != 0 && id <= current; id = next(id))
    if (matches(id)) return {id == current ? ItemSearchResult::OnlyCurrent : ItemSearchResult::Found, id};
  return {};
}

}  // namespace vellumo::editor
