#pragma once
// The appearance page's controls and the block fields they edit.
#include <cstddef>
#include <cstdint>
#include <span>

#include "model/appearance.h"

namespace vellumo::manager {

inline constexpr char16_t kSeparateConfiguration[] = u"(单独配置)";

struct NumberControl {
  int id;
  std::size_t offset;  // an i16 field
};
struct FlagControl {
  int id;
  bool behaviour;  // BehaviourFlags (u32) or LayoutFlags (u16)
  std::uint32_t bit;
  bool setWhenChecked;
};
struct ColourControl {
  int id;
  std::size_t offset;
};

std::span<const NumberControl> NumberControls();
std::span<const FlagControl> FlagControls();
std::span<const ColourControl> ColourControls();

// The three "图标文本显示" radio buttons: right, below, none.
inline constexpr int kTextRightRadio = 1072, kTextBelowRadio = 1073, kNoTextRadio = 1074;
enum class IconText { Right, Below, None };
[[nodiscard]] IconText IconTextOf(const model::AppearanceBlock& block);
void SetIconText(model::AppearanceBlock& block, IconText text);

// Whether a combo text names a scheme the user can load or save.
[[nodiscard]] bool IsSchemeName(std::u16string_view text);

}  // namespace vellumo::manager
