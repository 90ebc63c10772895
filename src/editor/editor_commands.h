#pragma once
// The editor's commands decided from numbers and texts alone: which buttons
// are enabled, the window caption, the question about unsaved changes,
// deleting, stepping to the previous or next item, and the line-wrap swap.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "editor/message.h"

namespace vellumo::editor {

// "保存" only while there is something to save, "执行" only while what is
// shown is what is stored: an edited title or content disables it until the
// item is saved, so it never runs something other than what the user sees.
struct EditorButtons {
  bool save = false;
  bool execute = true;
  friend bool operator==(const EditorButtons&, const EditorButtons&) = default;
};
[[nodiscard]] constexpr EditorButtons ButtonsFor(bool modified) { return {modified, !modified}; }

// "新建" empties both boxes and leaves nothing to save; "副本" keeps the
// texts and has them to save, unless both boxes are empty.
[[nodiscard]] constexpr bool ModifiedAfterNewItem(bool copy, bool titleEmpty, bool contentEmpty) {
  return copy && !(titleEmpty && contentEmpty);
}

inline constexpr std::size_t kCaptionTitleUnits = 32;
inline constexpr std::size_t kCaptionNoteNameUnits = 80;
// "%u.%u %s - " + note name for an item, "%u.新建 - " + note name for item 0.
[[nodiscard]] std::u16string EditorCaption(std::uint32_t note, std::uint32_t item, std::u16string_view title,
                                           std::u16string_view noteName);
// After "新建" (copy false) or "副本" (copy true) while `item` was shown:
// "%u.%u <的副本> - ", "%u.新建副本 - " or "%u.新建 - ", then the note name.
[[nodiscard]] std::u16string NewItemCaption(std::uint32_t note, std::uint32_t item, bool copy,
                                            std::u16string_view noteName);

// Unsaved changes when the editor is about to show another item, or to
// close (also "新建" and "副本"): Yes, No and Cancel.
enum class LeaveReason { Switch, Close };
[[nodiscard]] constexpr Message UnsavedQuestion(LeaveReason reason) {
  return {u"当前有修改，是否保存？", reason == LeaveReason::Switch ? u"准备切换" : u"关闭"};
}
enum class Answer { Yes, No, Cancel };
// Yes saves first and stays when the save fails; No goes on; Cancel stays.
enum class LeaveStep { Stay, SaveThenGo, Go };
[[nodiscard]] constexpr LeaveStep AfterUnsavedAnswer(Answer answer) {
  return answer == Answer::Yes ? LeaveStep::SaveThenGo : answer == Answer::No ? LeaveStep::Go : LeaveStep::Stay;
}

// "删除": nothing for an item not yet saved; with Shift held at once,
// otherwise after the question (OK and Cancel; Cancel keeps the item).  Then
// the next item by id is shown, a new empty item after the last one.
enum class DeleteStep { Nothing, Ask, DeleteNow };
[[nodiscard]] constexpr DeleteStep PlanDelete(std::uint32_t item, bool shiftHeld) {
  return item == 0 ? DeleteStep::Nothing : shiftHeld ? DeleteStep::DeleteNow : DeleteStep::Ask;
}
inline constexpr Message kDeleteQuestion{u"是否确定删除？", u"删除"};
inline constexpr Message kDeleteFailed{u"删除失败，项目不存在。", u"错误"};

// "←" (step -1) and "→" (step +1) by item id; past either end comes a new
// empty item (0).  The new item sits between the highest id and the lowest,
// so from it "→" shows the lowest id and "←" the highest: the arrows go
// round the note, and "←" right after "→" past the end comes back.
// `ids` ascending; the current item need not be among them (it may have
// just been deleted).
[[nodiscard]] std::uint32_t StepTarget(std::span<const std::uint32_t> ids, std::uint32_t current, int step);
// The same over the note itself: `adjacent(id, step)` is the next existing
// id above or below `id`, 0 past the end, and below any id larger than all
// gives the highest (the model's AdjacentItemId).
[[nodiscard]] std::uint32_t StepTarget(std::uint32_t current, int step,
                                       const std::function<std::uint32_t(std::uint32_t, int)>& adjacent);

// "换行" copies the visible content into the other box; over 30720 units
// the user is asked first (a warning with OK and Cancel): Cancel puts the
// check box back, OK cuts to `keepUnits`.
inline constexpr std::size_t kWrapReadUnits = 30722;
struct WrapPlan {
  std::optional<Message> question;
  std::size_t keepUnits = 0;
};
[[nodiscard]] WrapPlan PlanWrapSwap(std::u16string_view visibleText);

}  // namespace vellumo::editor
