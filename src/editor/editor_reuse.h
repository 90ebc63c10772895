#pragma once
// Which editor shows an item the user asks for.  Without Shift an editor is
// reused: the newest one that shows this very item, or that has no changes
// since it loaded what it shows; an editor holding changes to another item
// is never taken from its user.  With Shift, or when every editor holds
// changes, a new editor opens.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace vellumo::editor {

// An entry of the editor list as the choice sees it.
struct EditorView {
  bool open = true;  // false once its window was closed: such entries are skipped (and freed by the caller)
  std::uint32_t note = 0;
  std::uint32_t item = 0;
  bool changedSinceLoad = false;
};

enum class EditorChoiceKind { Reuse, Switch, New };
struct EditorChoice {
  EditorChoiceKind kind = EditorChoiceKind::New;
  std::size_t index = 0;  // Reuse (it shows the item already) and Switch (it is sent to the item)
};
// `editors` newest first.
[[nodiscard]] EditorChoice ChooseEditor(std::span<const EditorView> editors, std::uint32_t note, std::uint32_t item,
                                        bool shiftHeld);

// An item whose content is encrypted opens no editor while locked: the
// password dialog comes up instead.  A bare "<k>" tag has nothing secret in
// it and opens as any other item, as it also loads and saves as one.
[[nodiscard]] bool OpenNeedsPassword(std::u16string_view storedContent, bool unlocked);

}  // namespace vellumo::editor
