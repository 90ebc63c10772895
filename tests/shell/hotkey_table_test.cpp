#include "shell/hotkey_table.h"

#include <gtest/gtest.h>

#include "model/notes.h"
#include "store/record_keys.h"
#include "support/temp_dir.h"

namespace vellumo::shell {
namespace {

TEST(Hotkeys, ConversionForRegisterHotKey) {
  struct Case {
    std::uint32_t value;
    std::optional<HotkeyRegistration> expected;
  };
  const Case cases[] = {
      {0, std::nullopt},
      {0x0600, std::nullopt},                      // modifiers without a key are never registered
      {0x0074, HotkeyRegistration{0, 0x74}},       // F5 alone
      {0x0674, HotkeyRegistration{kModControl | kModAlt, 0x74}},
      {0x0141, HotkeyRegistration{kModShift, 'A'}},
      {0x0F2E, HotkeyRegistration{kModShift | kModControl | kModAlt, 0x2E}},  // the extended flag is dropped
      {0xFFFF0241, HotkeyRegistration{kModControl, 'A'}},  // bits above the flags mean nothing
  };
  for (const Case& c : cases) EXPECT_EQ(ToRegistration(c.value), c.expected) << std::hex << c.value;
}

TEST(Hotkeys, TextBeforeTheKeyName) {
  EXPECT_EQ(HotkeyModifierText(0x0674), u"Ctrl + Alt + ");
  EXPECT_EQ(HotkeyModifierText(0x0741), u"Ctrl + Alt + Shift + ");
  EXPECT_EQ(HotkeyModifierText(0x0141), u"Shift + ");
  EXPECT_EQ(HotkeyModifierText(0x0841), u"");
  EXPECT_EQ(UnnamedKeyText(0x9A), u"0x9A");
  EXPECT_EQ(UnnamedKeyText(0x0207), u"0x07");
}

class StoredHotkeys : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(db.OpenFiles(dir / "h.ku", dir / "h.hs"), OpenResult::Created); }
  testing::TempDir dir;
  Ku db;
};

TEST_F(StoredHotkeys, ManagementHotkeysExchangeTheirPreviousValue) {
  EXPECT_EQ(ManagementHotkey(db, 1), std::nullopt);
  HotkeyExchange first = ExchangeManagementHotkey(db, 1, 0x0674);
  EXPECT_TRUE(first.stored);
  EXPECT_EQ(first.previous, std::nullopt);
  HotkeyExchange second = ExchangeManagementHotkey(db, 1, 0);
  EXPECT_EQ(second.previous, 0x0674u);
  EXPECT_EQ(ManagementHotkey(db, 1), 0u);  // cleared: stored as 0, never registered
  EXPECT_EQ(ManagementHotkey(db, 2), std::nullopt);
  // Anything but four bytes is no hotkey.
  const auto key = record_keys::ManagementHotkeyKey(3);
  const std::uint8_t two[] = {0x74, 0x06};
  ASSERT_EQ(db.Put(key, two, 2), 0);
  EXPECT_EQ(ManagementHotkey(db, 3), std::nullopt);
}

TEST_F(StoredHotkeys, NotesWithAHotkeyInKeyOrder) {
  const std::uint32_t a = model::CreateNote(db, u"甲");
  const std::uint32_t cleared = model::CreateNote(db, u"乙");
  const std::uint32_t none = model::CreateNote(db, u"丙");
  const std::uint32_t b = model::CreateNote(db, u"丁");
  ASSERT_EQ(model::PutNoteU32(db, b, model::note_field::kHotkey, 0x0642), 0);
  ASSERT_EQ(model::PutNoteU32(db, a, model::note_field::kHotkey, 0x0241), 0);
  ASSERT_EQ(model::PutNoteU32(db, cleared, model::note_field::kHotkey, 0), 0);
  (void)none;
  const std::vector<NoteHotkey> expected = {{a, 0x0241}, {b, 0x0642}};
  EXPECT_EQ(NoteHotkeys(db), expected);
}

}  // namespace
}  // namespace vellumo::shell
