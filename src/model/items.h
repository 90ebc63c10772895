#pragma once
// Items: their fields, the per-note numbering, the title-ordered index and
// the icon source derived from an item's records.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/notifier.h"
#include "store/ku.h"

namespace vellumo::model {

namespace item_field {
inline constexpr std::uint8_t kTitle = 1, kContent = 2, kIconIndex = 3, kIconPath = 4;
}

inline constexpr std::uint32_t kMaxItemsPerNote = 4096;
inline constexpr std::size_t kMaxTitleChars = 5000;
inline constexpr std::size_t kMaxStoredContentChars = 30784;

// A content whose body is stored encrypted: it must never be cut.
constexpr bool HasEncryptedTag(std::u16string_view content) {
  return content.starts_with(u"<k>") || content.starts_with(u"<K>");
}
constexpr bool FitsStoredLimit(std::u16string_view content) {
  return !HasEncryptedTag(content) || content.size() <= kMaxStoredContentChars;
}
inline constexpr std::size_t kMaxIconPathBytes = 2048;

// The order key of an item: [03][note][folded ANSI title][00][case mark][item BE].
std::vector<std::uint8_t> OrderKey(std::uint32_t note, std::uint32_t item, std::u16string_view title);
[[nodiscard]] int SetOrderEntry(Ku& db, std::uint32_t note, std::uint32_t item, std::u16string_view title);
void RemoveOrderEntry(Ku& db, std::uint32_t note, std::uint32_t item, std::u16string_view title);

// The whole title, empty when the item has none.
std::u16string GetItemTitle(Ku& db, std::uint32_t note, std::uint32_t item);
std::u16string GetItemContent(Ku& db, std::uint32_t note, std::uint32_t item);
// For scans over many items (filters): the title or content read into
// `scratch`, which is kept by the caller between calls so that the scan
// allocates once; the view points into it.  Empty when there is none.
std::u16string_view ReadItemTitle(Ku& db, std::uint32_t note, std::uint32_t item, std::u16string& scratch);
std::u16string_view ReadItemContent(Ku& db, std::uint32_t note, std::uint32_t item, std::u16string& scratch);
// Cuts the content to 30784 characters.
[[nodiscard]] int PutItemContent(Ku& db, std::uint32_t note, std::uint32_t item, std::u16string_view content);
std::uint32_t GetItemIconIndex(Ku& db, std::uint32_t note, std::uint32_t item);
[[nodiscard]] int PutItemIconIndex(Ku& db, std::uint32_t note, std::uint32_t item, std::uint32_t index);
std::u16string GetItemIconPath(Ku& db, std::uint32_t note, std::uint32_t item);
inline constexpr char16_t kIconPathTooLongText[] = u"图标路径长度太长";
// An empty path clears the field; a path over 2048 bytes is refused (1) and
// the notifier, when given, tells the user.
[[nodiscard]] int PutItemIconPath(Ku& db, std::uint32_t note, std::uint32_t item, std::u16string_view path,
                                  ModelNotifier* notifier = nullptr);
bool ItemExists(Ku& db, std::uint32_t note, std::uint32_t item);

// Never more than 4096, whatever is stored.
std::uint32_t ItemCount(Ku& db, std::uint32_t note);
// Item ids in list order from position `start`.  Reading only: a stale
// entry is listed and a wrong count stays until RepairNote.
std::uint32_t ListItems(Ku& db, std::uint32_t start, std::uint32_t* ids, std::uint32_t capacity, std::uint32_t note);
std::vector<std::uint32_t> ListItems(Ku& db, std::uint32_t note);
struct NoteRepairs {
  std::uint32_t staleEntriesRemoved = 0;  // order entries of items without a title
  bool countRewritten = false;
  std::uint32_t oldCount = 0;  // ItemCount as stored (uncapped)
  std::uint32_t newCount = 0;  // order entries left
};
// Removes the order entries of items that have no title and rewrites
// ItemCount with the number of entries left.  The only model call besides
// the item operations that writes on its own: readers never repair, so
// this runs at a chosen moment (a note's first opening in a run, the
// tool's check --repair).  0, or the store's code when the count could not
// be written.
[[nodiscard]] int RepairNote(Ku& db, std::uint32_t note, NoteRepairs* done = nullptr);

// The next existing id after (step +1) or before (step -1) item b.
std::uint32_t AdjacentItemId(Ku& db, std::uint32_t note, std::uint32_t b, int step);

namespace icon_kind {
inline constexpr std::uint32_t kPlain = 0, kOpenNotes = 1, kPaste = 2, kEncryptedKeys = 3, kCommand = 4,
                               kKeys = 6, kFromFile = 0x80000000u;
}
// The icon source of an item: its icon path with its index, or what its
// content's command tag implies.
std::uint32_t ItemIconSource(Ku& db, std::uint32_t note, std::uint32_t item, std::u16string* source);
// The same rules on a content text alone (no icon path).
std::uint32_t IconSourceOfContent(std::u16string_view content, std::u16string* source);

}  // namespace vellumo::model
