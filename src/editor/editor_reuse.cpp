#include "editor/editor_reuse.h"

#include "editor/save_rules.h"

namespace vellumo::editor {

EditorChoice ChooseEditor(std::span<const EditorView> editors, std::uint32_t note, std::uint32_t item,
                          bool shiftHeld) {
  if (shiftHeld) return {};
  for (std::size_t i = 0; i < editors.size(); ++i) {
    const EditorView& e = editors[i];
    if (!e.open) continue;
    const bool same = e.note == note && e.item == item;
    if (!same && e.changedSinceLoad) continue;
    return {same ? EditorChoiceKind::Reuse : EditorChoiceKind::Switch, i};
  }
  return {};
}

bool OpenNeedsPassword(std::u16string_view storedContent, bool unlocked) {
  return !unlocked && IsSecretContent(storedContent);
}

}  // namespace vellumo::editor
