#include "manager/note_filter.h"

#include "model/items.h"
#include "model/notes.h"

namespace vellumo::manager {

namespace {

bool Contains(std::u16string_view text, std::u16string_view folded) {
  return folded.empty() || platform::ContainsFolded(text, folded);
}

}  // namespace

std::u16string DecimalText(std::uint64_t n) {
  std::u16string digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + n % 10));
    n /= 10;
  } while (n != 0);
  return digits;
}

std::u16string FilterText(std::u16string_view box) { return FoldCase(box.substr(0, kFilterTextUnits)); }

FilterMode NextFilterMode(FilterMode mode) {
  switch (mode) {
    case FilterMode::None:
      return FilterMode::Titles;
    case FilterMode::Titles:
      return FilterMode::Contents;
    case FilterMode::Contents:
      return FilterMode::None;
  }
  return FilterMode::None;
}

FilterMode ModeAfterButton(FilterMode current, FilterMode button) {
  return current == button ? FilterMode::None : button;
}

namespace {

// `scratch` holds each text read; one for a whole list of notes.
bool Passes(Ku& db, std::uint32_t note, const NoteFilter& filter, bool unlocked, std::u16string& scratch) {
  const std::u16string name = model::GetNoteDisplayName(db, note);
  if (model::IsHiddenNoteName(name) && !unlocked) return false;
  switch (filter.mode) {
    case FilterMode::None:
      return Contains(name, filter.text) || filter.text == DecimalText(note);
    case FilterMode::Titles:
    case FilterMode::Contents: {
      std::vector<std::uint32_t> items(kMaxItemsSearched);
      const std::uint32_t count = model::ListItems(db, 0, items.data(), kMaxItemsSearched, note);
      for (std::uint32_t i = 0; i < count; ++i) {
        const std::u16string_view text = filter.mode == FilterMode::Titles
                                             ? model::ReadItemTitle(db, note, items[i], scratch)
                                             : model::ReadItemContent(db, note, items[i], scratch);
        if (Contains(text, filter.text)) return true;
      }
      return false;
    }
  }
  return false;
}

}  // namespace

bool NotePasses(Ku& db, std::uint32_t note, const NoteFilter& filter, bool unlocked) {
  std::u16string scratch;
  return Passes(db, note, filter, unlocked, scratch);
}

std::vector<std::uint32_t> FilteredNotes(Ku& db, const NoteFilter& filter, bool unlocked) {
  std::vector<std::uint32_t> listed;
  std::u16string scratch;
  for (const std::uint32_t note : model::ListNotes(db))
    if (Passes(db, note, filter, unlocked, scratch)) listed.push_back(note);
  return listed;
}

}  // namespace vellumo::manager
