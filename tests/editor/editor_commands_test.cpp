#include "editor/editor_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace vellumo::editor {
namespace {

TEST(EditorCommands, ButtonsFollowUnsavedChanges) {
  EXPECT_EQ(ButtonsFor(false), (EditorButtons{false, true}));
  EXPECT_EQ(ButtonsFor(true), (EditorButtons{true, false}));  // an edited title disables "执行"
  struct Case {
    bool copy, titleEmpty, contentEmpty, modified;
  };
  const Case cases[] = {
      {false, false, false, false}, {true, false, false, true}, {true, true, false, true},
      {true, false, true, true},    {true, true, true, false},  {false, true, true, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ModifiedAfterNewItem(c.copy, c.titleEmpty, c.contentEmpty), c.modified)
        << c.copy << c.titleEmpty << c.contentEmpty;
}

TEST(EditorCommands, Captions) {
  const std::u16string longName(90, u'名');
  struct Case {
    std::u16string caption, expected;
  };
  const Case cases[] = {
      {EditorCaption(3, 17, u"Mail", u"Work"), u"3.17 Mail - Work"},
      {EditorCaption(3, 0, u"ignored", u"Work"), u"3.新建 - Work"},
      {EditorCaption(3, 1, std::u16string(40, u'x'), u""), u"3.1 " + std::u16string(32, u'x') + u" - "},
      // No half of a pair when the title is cut.
      {EditorCaption(3, 1, std::u16string(31, u'x') + u"\U0001F600", u""), u"3.1 " + std::u16string(31, u'x') + u" - "},
      {EditorCaption(3, 1, u"t", longName), u"3.1 t - " + std::u16string(80, u'名')},
      {NewItemCaption(4, 9, true, u"N"), u"4.9 <的副本> - N"},
      {NewItemCaption(4, 0, true, u"N"), u"4.新建副本 - N"},
      {NewItemCaption(4, 9, false, u"N"), u"4.新建 - N"},
      {NewItemCaption(4294967295u, 0, false, u""), u"4294967295.新建 - "},
  };
  for (const Case& c : cases) EXPECT_EQ(c.caption, c.expected);
}

TEST(EditorCommands, UnsavedChangesAndDeleting) {
  EXPECT_EQ(UnsavedQuestion(LeaveReason::Switch), (Message{u"当前有修改，是否保存？", u"准备切换"}));
  EXPECT_EQ(UnsavedQuestion(LeaveReason::Close), (Message{u"当前有修改，是否保存？", u"关闭"}));
  EXPECT_EQ(AfterUnsavedAnswer(Answer::Yes), LeaveStep::SaveThenGo);
  EXPECT_EQ(AfterUnsavedAnswer(Answer::No), LeaveStep::Go);
  EXPECT_EQ(AfterUnsavedAnswer(Answer::Cancel), LeaveStep::Stay);

  EXPECT_EQ(PlanDelete(0, false), DeleteStep::Nothing);
  EXPECT_EQ(PlanDelete(0, true), DeleteStep::Nothing);
  EXPECT_EQ(PlanDelete(4, false), DeleteStep::Ask);
  EXPECT_EQ(PlanDelete(4, true), DeleteStep::DeleteNow);
  EXPECT_EQ(kDeleteQuestion, (Message{u"是否确定删除？", u"删除"}));
  EXPECT_EQ(kDeleteFailed, (Message{u"删除失败，项目不存在。", u"错误"}));
}

// The model's AdjacentItemId over a set of ids with the counter at `last`.
std::uint32_t Adjacent(const std::vector<std::uint32_t>& ids, std::uint32_t last, std::uint32_t b, int step) {
  if (step > 0) {
    for (std::uint64_t id = std::uint64_t{b} + 1; id <= last; ++id)
      if (std::find(ids.begin(), ids.end(), id) != ids.end()) return static_cast<std::uint32_t>(id);
    return 0;
  }
  if (b == 0) return 0;
  for (std::uint32_t id = b > last + 1ull ? last : b - 1; id >= 1; --id)
    if (std::find(ids.begin(), ids.end(), id) != ids.end()) return id;
  return 0;
}

TEST(EditorCommands, ArrowsGoRoundTheNoteThroughANewItem) {
  const std::vector<std::uint32_t> ids = {2, 5, 9};
  struct Case {
    std::uint32_t current;
    int step;
    std::uint32_t target;
  };
  const Case cases[] = {
      {5, +1, 9}, {5, -1, 2},
      {9, +1, 0},  // past the highest: a new, empty item
      {2, -1, 0},  // before the lowest: a new, empty item
      {0, +1, 2},  // from the new item onwards: the lowest
      {0, -1, 9},  // and back: the highest
      {6, +1, 9}, {6, -1, 5},  // from an item just deleted
  };
  for (const Case& c : cases) {
    EXPECT_EQ(StepTarget(ids, c.current, c.step), c.target) << c.current << " " << c.step;
    const std::uint32_t read =
        StepTarget(c.current, c.step, [&](std::uint32_t b, int step) { return Adjacent(ids, 10, b, step); });
    EXPECT_EQ(read, c.target) << c.current << " " << c.step;
  }
  // An empty note has only the new item.
  EXPECT_EQ(StepTarget(std::span<const std::uint32_t>(), 0, -1), 0u);
  EXPECT_EQ(StepTarget(std::span<const std::uint32_t>(), 0, +1), 0u);
}

TEST(EditorCommands, LineWrapAsksBeforeCutting) {
  EXPECT_FALSE(PlanWrapSwap(std::u16string(30720, u'x')).question);
  EXPECT_EQ(PlanWrapSwap(std::u16string(30720, u'x')).keepUnits, 30720u);
  const WrapPlan over = PlanWrapSwap(std::u16string(30722, u'x'));
  EXPECT_EQ(over.question, (Message{u"文本内容已超过最大限制（30KB），是否截断并丢弃多余长度？", u"提示"}));
  EXPECT_EQ(over.keepUnits, 30720u);
  EXPECT_EQ(PlanWrapSwap(std::u16string(30719, u'x') + u"\U0001F600").keepUnits, 30719u);
}

}  // namespace
}  // namespace vellumo::editor
