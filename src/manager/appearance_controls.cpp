#include "manager/appearance_controls.h"

namespace vellumo::manager {

namespace {

using B = model::AppearanceBlock;
namespace behaviour = model::behaviour_flag;
namespace layout = model::layout_flag;

constexpr NumberControl kNumbers[] = {
    {1005, B::kTitleBarHeight}, {1000, B::kItemWidth},     {1001, B::kItemHeight},
    {1003, B::kIconSize},       {1008, B::kIconMargin},    {1004, B::kFocusedAlpha},
    {1009, B::kUnfocusedAlpha}, {1010, B::kTitleTextOffset}, {1011, B::kIconTextOffset},
};

constexpr FlagControl kFlags[] = {
    {1027, true, behaviour::kRememberPosition, true},
    {1028, true, behaviour::kNoAutoClose, true},
    {1023, true, behaviour::kPassLookToChildren, true},
    {1026, true, behaviour::kRefuseParentLook, true},
    {1076, true, behaviour::kTooltipWithContent, true},
    {1075, true, behaviour::kTooltipOnlyWithCtrl, true},
    {1007, false, layout::kColumnMajor, true},   // "竖排"
    {1006, false, layout::kColumnMajor, false},  // "横排"
};

constexpr ColourControl kColours[] = {
    {1015, B::kTitleColor},      {1016, B::kTitleTextColor}, {1017, B::kIconTextColor},
    {1018, B::kBackgroundColor}, {1019, B::kSelectedColor},  {1030, B::kSelectedTextColor},
    {1021, B::kScrollbarColor},  {1022, B::kBorderColor},
};

}  // namespace

std::span<const NumberControl> NumberControls() { return kNumbers; }
std::span<const FlagControl> FlagControls() { return kFlags; }
std::span<const ColourControl> ColourControls() { return kColours; }

IconText IconTextOf(const model::AppearanceBlock& block) {
  if (block.U32(B::kBehaviourFlags) & behaviour::kNoIconText) return IconText::None;
  return (block.U16(B::kLayoutFlags) & layout::kTextRight) ? IconText::Right : IconText::Below;
}

void SetIconText(model::AppearanceBlock& block, IconText text) {
  std::uint32_t flags = block.U32(B::kBehaviourFlags) & ~behaviour::kNoIconText;
  std::uint16_t layoutFlags = static_cast<std::uint16_t>(block.U16(B::kLayoutFlags) & ~layout::kTextRight);
  if (text == IconText::Right) layoutFlags = static_cast<std::uint16_t>(layoutFlags | layout::kTextRight);
  if (text == IconText::None) flags |= behaviour::kNoIconText;
  block.SetU32(B::kBehaviourFlags, flags);
  block.SetU16(B::kLayoutFlags, layoutFlags);
}

bool IsSchemeName(std::u16string_view text) { return !text.empty() && text != kSeparateConfiguration; }

}  // namespace vellumo::manager
