#include "manager/appearance_controls.h"

#include <gtest/gtest.h>

#include <set>

namespace vellumo::manager {
namespace {

TEST(AppearanceControls, IconTextRadiosSetBothFlags) {
  model::AppearanceBlock block;
  for (const IconText text : {IconText::None, IconText::Right, IconText::Below, IconText::None}) {
    SetIconText(block, text);
    EXPECT_EQ(IconTextOf(block), text);
  }
  SetIconText(block, IconText::Right);
  EXPECT_EQ(block.U16(model::AppearanceBlock::kLayoutFlags) & model::layout_flag::kTextRight,
            model::layout_flag::kTextRight);
  EXPECT_EQ(block.U32(model::AppearanceBlock::kBehaviourFlags) & model::behaviour_flag::kNoIconText, 0u);
}

TEST(AppearanceControls, EveryControlHasOneIdAndFieldsStayInTheBlock) {
  std::set<int> ids;
  for (const auto& c : NumberControls()) {
    EXPECT_TRUE(ids.insert(c.id).second) << c.id;
    EXPECT_LE(c.offset + 2, model::kAppearanceBlockSize);
  }
  for (const auto& c : FlagControls()) EXPECT_TRUE(ids.insert(c.id).second) << c.id;
  for (const auto& c : ColourControls()) {
    EXPECT_TRUE(ids.insert(c.id).second) << c.id;
    EXPECT_LE(c.offset + 4, model::kAppearanceBlockSize);
  }
  EXPECT_FALSE(IsSchemeName(u""));
  EXPECT_FALSE(IsSchemeName(kSeparateConfiguration));
  EXPECT_TRUE(IsSchemeName(u"蓝色"));
}

}  // namespace
}  // namespace vellumo::manager
