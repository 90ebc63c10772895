#include "model/appearance.h"

#include <algorithm>
#include <cstring>

#include "model/notes.h"
#include "model/records.h"

namespace vellumo::model {

std::uint16_t AppearanceBlock::U16(std::size_t offset) const { return LoadU16LE(&bytes[offset]); }
void AppearanceBlock::SetU16(std::size_t offset, std::uint16_t value) { StoreU16LE(&bytes[offset], value); }
std::uint32_t AppearanceBlock::U32(std::size_t offset) const { return LoadU32LE(&bytes[offset]); }
void AppearanceBlock::SetU32(std::size_t offset, std::uint32_t value) { StoreU32LE(&bytes[offset], value); }

std::u16string AppearanceBlock::FontFace(std::size_t offset) const {
  std::u16string face;
  for (std::size_t i = 0; i < kFontFaceChars; ++i) {
    const auto c = static_cast<char16_t>(U16(offset + 2 * i));
    if (c == 0) break;
    face.push_back(c);
  }
  return face;
}

void AppearanceBlock::SetFontFace(std::size_t offset, std::u16string_view face) {
  // The last unit stays a terminator.
  for (std::size_t i = 0; i < kFontFaceChars; ++i)
    SetU16(offset + 2 * i, i < face.size() && i + 1 < kFontFaceChars ? static_cast<std::uint16_t>(face[i]) : 0);
}

void AppearanceBlock::Clamp() {
  auto clampU16 = [&](std::size_t offset, std::uint16_t low, std::uint16_t high) {
    SetU16(offset, std::clamp(U16(offset), low, high));
  };
  clampU16(kTitleBarHeight, 0, 512);
  clampU16(kIconMargin, 0, 255);
  clampU16(kIconSize, 0, 512);
  clampU16(kItemHeight, 8, 512);
  clampU16(kItemWidth, 8, 1024);
  // The window takes one byte of alpha, so the word is lowered to 255 rather
  // than cut to its low byte (256 would be all but invisible); 0 would hide
  // the window entirely.
  clampU16(kFocusedAlpha, 1, 255);
  clampU16(kUnfocusedAlpha, 1, 255);
  SetI16(kIconFontSize, std::clamp<std::int16_t>(I16(kIconFontSize), 4, 255));
}

std::span<const AppearanceFieldInfo> AppearanceFields() {
  using B = AppearanceBlock;
  using T = AppearanceFieldInfo;
  static constexpr AppearanceFieldInfo kFields[] = {
      {"TitleBarHeight", B::kTitleBarHeight, T::U16},     {"IconMargin", B::kIconMargin, T::U16},
      {"IconSize", B::kIconSize, T::U16},                 {"LayoutFlags", B::kLayoutFlags, T::U16},
      {"ItemHeight", B::kItemHeight, T::U16},             {"ItemWidth", B::kItemWidth, T::U16},
      {"FocusedAlpha", B::kFocusedAlpha, T::U16},         {"UnfocusedAlpha", B::kUnfocusedAlpha, T::U16},
      {"BehaviourFlags", B::kBehaviourFlags, T::U32},     {"TitleColor", B::kTitleColor, T::Color},
      {"TitleTextColor", B::kTitleTextColor, T::Color},   {"BackgroundColor", B::kBackgroundColor, T::Color},
      {"SelectedColor", B::kSelectedColor, T::Color},     {"ScrollbarColor", B::kScrollbarColor, T::Color},
      {"BorderColor", B::kBorderColor, T::Color},         {"IconTextColor", B::kIconTextColor, T::Color},
      {"IconFontSize", B::kIconFontSize, T::I16},         {"TitleFontSize", B::kTitleFontSize, T::I16},
      {"IconFontFace", B::kIconFontFace, T::FontFace},    {"SelectedTextColor", B::kSelectedTextColor, T::Color},
      {"TitleFontFace", B::kTitleFontFace, T::FontFace},  {"IconTextOffset", B::kIconTextOffset, T::I16},
      {"TitleTextOffset", B::kTitleTextOffset, T::I16},   {"IconFontWeight", B::kIconFontWeight, T::U16},
      {"TitleFontWeight", B::kTitleFontWeight, T::U16},
  };
  return kFields;
}

AppearanceBlock LegacyAppearance(Ku& db, std::uint32_t note) {
  using namespace note_field;
  using B = AppearanceBlock;
  // Saturated to the block's u16, so that an oversized legacy value is
  // lowered to its maximum by the clamps instead of wrapping around.
  auto field = [&](std::uint8_t f) {
    return static_cast<std::uint16_t>(std::min<std::uint32_t>(GetNoteU32(db, note, f, NoteFieldDefault(f)), 0xFFFF));
  };
  AppearanceBlock b;
  b.SetU16(B::kTitleBarHeight, field(kLegacyNoTitleBar) == 0 ? 18 : 0);
  b.SetU16(B::kIconMargin, 3);
  b.SetU16(B::kIconSize, field(kLegacyIconSize));
  b.SetU16(B::kLayoutFlags, static_cast<std::uint16_t>(layout_flag::kColumnMajor |
                                                         (field(kLegacyTextRight) ? layout_flag::kTextRight : 0)));
  b.SetU16(B::kItemHeight, field(kLegacyItemHeight));
  b.SetU16(B::kItemWidth, field(kLegacyItemWidth));
  b.SetU16(B::kFocusedAlpha, field(kLegacyFocusedAlpha));
  b.SetU16(B::kUnfocusedAlpha, field(kLegacyUnfocusedAlpha));
  std::uint32_t behaviour = 0;
  if (field(kLegacyPassLook)) behaviour |= behaviour_flag::kPassLookToChildren;
  if (field(kLegacyRefuseParentLook)) behaviour |= behaviour_flag::kRefuseParentLook;
  if (field(kLegacyRememberPosition)) behaviour |= behaviour_flag::kRememberPosition;
  if (field(kLegacyNoAutoClose)) behaviour |= behaviour_flag::kNoAutoClose;
  if (field(kLegacyNoIconText)) behaviour |= behaviour_flag::kNoIconText;
  b.SetU32(B::kBehaviourFlags, behaviour);
  b.SetU32(B::kTitleColor, 0xDBCDBF);
  b.SetU32(B::kBackgroundColor, 0xF0F0F0);
  b.SetU32(B::kSelectedColor, 0xFAA865);
  b.SetU32(B::kScrollbarColor, 0xB4B4B4);
  b.SetU32(B::kBorderColor, 0x404040);
  b.SetI16(B::kIconFontSize, 12);
  b.SetI16(B::kTitleFontSize, 12);
  return b;
}

AppearanceBlock LoadAppearance(Ku& db, std::uint32_t note, AppearanceSource* source) {
  AppearanceBlock b;
  AppearanceSource from = AppearanceSource::Legacy;
  const std::u16string scheme = GetNoteText(db, note, note_field::kSchemeName);
  if (!scheme.empty() && ReadScheme(db, scheme, &b)) {
    from = AppearanceSource::NoteScheme;
  } else if (GetNoteBytes(db, note, note_field::kOwnAppearance, b.bytes.data(), kAppearanceBlockSize) != 0) {
    from = AppearanceSource::OwnBlock;
  } else {
    const std::u16string fallback = GetNoteText(db, kDefaultSchemeNote, note_field::kSchemeName);
    if (!fallback.empty() && ReadScheme(db, fallback, &b)) from = AppearanceSource::DefaultScheme;
    else b = LegacyAppearance(db, note);
  }
  b.Clamp();
  if (source) *source = from;
  return b;
}

namespace {
Key SchemeKey(std::u16string_view name) { return record_keys::SchemeKey(Utf16ToBytes(name)); }
bool SchemeNameOk(std::u16string_view name) { return !name.empty() && name.size() <= kMaxSchemeNameChars; }
}  // namespace

bool ReadScheme(Ku& db, std::u16string_view name, AppearanceBlock* block) {
  if (!SchemeNameOk(name)) return false;
  block->bytes.fill(0);
  std::uint32_t length = kAppearanceBlockSize;
  return db.Get(SchemeKey(name), block->bytes.data(), &length) == 0 && length != 0;
}

int WriteScheme(Ku& db, std::u16string_view name, std::span<const std::uint8_t> block) {
  if (!SchemeNameOk(name) || block.size() > kMaxSchemeValueBytes) return 1;
  return db.Put(SchemeKey(name), block.data(), static_cast<std::uint32_t>(block.size()));
}

int DeleteScheme(Ku& db, std::u16string_view name) {
  if (!SchemeNameOk(name)) return 1;
  (void)db.Put(SchemeKey(name), nullptr, 0);
  return 0;
}

namespace {
int CollectScheme(const std::uint8_t* key, std::uint32_t length, const std::uint8_t*, void* context, Ku&) {
  if (key[0] != kSchemeKind) return 0;
  if (length == 1) return 1;
  static_cast<std::vector<std::u16string>*>(context)->push_back(Utf16FromBytes({key + 1, length - 1}));
  return 1;
}
}  // namespace

std::vector<std::u16string> ListSchemes(Ku& db) {
  std::vector<std::u16string> names;
  db.Scan(record_keys::kSchemePrefix, 1, 210, &CollectScheme, &names);
  return names;
}

}  // namespace vellumo::model
