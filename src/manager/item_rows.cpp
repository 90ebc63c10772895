#include "manager/item_rows.h"

#include "model/items.h"

namespace vellumo::manager {

namespace {

bool Holds(std::u16string_view text, std::u16string_view folded) {
  return FoldCase(text).find(folded) != std::u16string::npos;
}

}  // namespace

ItemRows ListItemRows(Ku& db, std::uint32_t note, const NoteFilter& windowFilter, std::u16string_view pageFilter) {
  ItemRows result;
  std::vector<std::uint32_t> ids(kMaxItemsSearched);
  result.total = model::ListItems(db, 0, ids.data(), kMaxItemsSearched, note);
  for (std::uint32_t i = 0; i < result.total; ++i) {
    const std::uint32_t item = ids[i];
    std::u16string title = model::GetItemTitle(db, note, item);
    if (windowFilter.mode == FilterMode::Titles && !Holds(title, windowFilter.text)) continue;
    std::u16string content = model::GetItemContent(db, note, item);
    if (content.size() > 3 && model::HasEncryptedTag(content)) content.resize(3);
    if (windowFilter.mode == FilterMode::Contents && !Holds(content, windowFilter.text)) continue;
    if (!pageFilter.empty() && !Holds(title, pageFilter) && !Holds(content, pageFilter)) continue;
    if (title.size() > kRowTitleUnits) title.resize(kRowTitleUnits);
    if (content.size() > kRowContentUnits) content.resize(kRowContentUnits);
    result.rows.push_back({item, std::move(title), std::move(content)});
  }
  return result;
}

std::u16string RowCountText(std::size_t shown, std::uint32_t total) {
  return DecimalText(shown) + u" / " + DecimalText(total);
}

}  // namespace vellumo::manager
