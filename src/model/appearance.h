#pragma once
// AppearanceBlock: a note's 192-byte look and window behaviour, and the
// named schemes that hold one.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "store/ku.h"

namespace vellumo::model {

inline constexpr std::size_t kAppearanceBlockSize = 192;
inline constexpr std::size_t kMaxSchemeNameChars = 90;
inline constexpr std::uint32_t kMaxSchemeValueBytes = 10240;

// Where a resolved block came from.
enum class AppearanceSource : int { Legacy = 0, NoteScheme = 1, OwnBlock = 2, DefaultScheme = 3 };

namespace layout_flag {
inline constexpr std::uint16_t kColumnMajor = 0x1, kTextRight = 0x2;
}
namespace behaviour_flag {
inline constexpr std::uint32_t kPassLookToChildren = 0x01, kRefuseParentLook = 0x02, kRememberPosition = 0x04,
                               kNoAutoClose = 0x08, kNoIconText = 0x20, kTooltipOnlyWithCtrl = 0x40,
                               kTooltipWithContent = 0x80;
}

struct AppearanceBlock {
  std::array<std::uint8_t, kAppearanceBlockSize> bytes{};

  // Field offsets.
  static constexpr std::size_t kTitleBarHeight = 0, kIconMargin = 2, kIconSize = 4, kLayoutFlags = 6,
                               kItemHeight = 8, kItemWidth = 10, kFocusedAlpha = 12, kUnfocusedAlpha = 14,
                               kBehaviourFlags = 16, kTitleColor = 20, kTitleTextColor = 24,
                               kBackgroundColor = 28, kSelectedColor = 32, kScrollbarColor = 36,
                               kBorderColor = 40, kIconTextColor = 44, kIconFontSize = 48, kTitleFontSize = 50,
                               kIconFontFace = 52, kSelectedTextColor = 116, kTitleFontFace = 120,
                               kIconTextOffset = 184, kTitleTextOffset = 186, kIconFontWeight = 188,
                               kTitleFontWeight = 190;
  static constexpr std::size_t kFontFaceChars = 32;

  std::uint16_t U16(std::size_t offset) const;
  void SetU16(std::size_t offset, std::uint16_t value);
  std::int16_t I16(std::size_t offset) const { return static_cast<std::int16_t>(U16(offset)); }
  void SetI16(std::size_t offset, std::int16_t value) { SetU16(offset, static_cast<std::uint16_t>(value)); }
  std::uint32_t U32(std::size_t offset) const;
  void SetU32(std::size_t offset, std::uint32_t value);
  std::u16string FontFace(std::size_t offset) const;
  void SetFontFace(std::size_t offset, std::u16string_view face);

  // Raises or lowers every clamped field into its range.
  void Clamp();
};

// The name of a field, its offset and how it is stored, for tools that
// show a block field by field.
struct AppearanceFieldInfo {
  const char* name;
  std::size_t offset;
  enum Type { U16, I16, U32, Color, FontFace } type;
};
std::span<const AppearanceFieldInfo> AppearanceFields();

AppearanceBlock LoadAppearance(Ku& db, std::uint32_t note, AppearanceSource* source = nullptr);
// The block built from a note's legacy fields and the fixed defaults.
AppearanceBlock LegacyAppearance(Ku& db, std::uint32_t note);

// False when the name is empty, too long, or no scheme has data.
bool ReadScheme(Ku& db, std::u16string_view name, AppearanceBlock* block);
// Refuses names over 90 characters and values over 10240 bytes.
[[nodiscard]] int WriteScheme(Ku& db, std::u16string_view name, std::span<const std::uint8_t> block);
[[nodiscard]] int DeleteScheme(Ku& db, std::u16string_view name);
std::vector<std::u16string> ListSchemes(Ku& db);

}  // namespace vellumo::model
