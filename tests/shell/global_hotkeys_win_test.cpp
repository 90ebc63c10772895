// Global hotkeys under Wine: what is registered, what is left out, and the
// readable form in the failure report.
#include <windows.h>

#include <gtest/gtest.h>

#include "model/notes.h"
#include "shell/global_hotkeys.h"
#include "shell/hotkey_table.h"
#include "support/temp_dir.h"

namespace vellumo::shell {
namespace {

constexpr std::uint32_t kCtrlAltF9 = 0x0678, kCtrlShiftF9 = 0x0378, kCtrlShiftF8 = 0x0377;

class Hotkeys : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(db.OpenFiles(dir / "k.ku", dir / "k.hs"), OpenResult::Created);
    window = ::CreateWindowExW(0, L"STATIC", L"main", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                               ::GetModuleHandleW(nullptr), nullptr);
    if (!window) GTEST_SKIP() << "Wine has no display driver here: windows cannot be created";
  }
  void TearDown() override {
    if (window) ::DestroyWindow(window);
  }
  // Unregistering tells whether a hotkey was registered.
  bool Registered(int id) { return ::UnregisterHotKey(window, id) != 0; }

  testing::TempDir dir;
  Ku db;
  HWND window = nullptr;
  GlobalHotkeys hotkeys;
};

TEST_F(Hotkeys, NoteHotkeysSkipTheManagementOnesAndToggleAsAWhole) {
  ASSERT_TRUE(hotkeys.ChangeManagementHotkey(window, db, 1, kCtrlAltF9));
  const std::uint32_t same = model::CreateNote(db, u"同键");
  const std::uint32_t own = model::CreateNote(db, u"自有");
  ASSERT_EQ(model::PutNoteU32(db, same, model::note_field::kHotkey, kCtrlAltF9), 0);
  ASSERT_EQ(model::PutNoteU32(db, own, model::note_field::kHotkey, kCtrlShiftF9), 0);

  hotkeys.SetNoteHotkeys(window, db, true);
  EXPECT_FALSE(Registered(static_cast<int>(same)));
  EXPECT_TRUE(Registered(static_cast<int>(own)));

  hotkeys.SetNoteHotkeys(window, db, true);
  hotkeys.ToggleNoteHotkeys(window, db);  // inert
  EXPECT_TRUE(hotkeys.NoteHotkeysPaused());
  EXPECT_FALSE(Registered(static_cast<int>(own)));
  hotkeys.ToggleNoteHotkeys(window, db);  // live again
  EXPECT_FALSE(hotkeys.NoteHotkeysPaused());
  EXPECT_TRUE(Registered(static_cast<int>(own)));
  EXPECT_TRUE(Registered(ManagementHotkeyId(1)));
}

TEST_F(Hotkeys, AChangedManagementHotkeyReleasesThePreviousOneFirst) {
  ASSERT_TRUE(hotkeys.ChangeManagementHotkey(window, db, 2, kCtrlShiftF8));
  ASSERT_TRUE(hotkeys.ChangeManagementHotkey(window, db, 2, kCtrlShiftF9));
  // The old chord is free again: another window can take it.
  const HWND other = ::CreateWindowExW(0, L"STATIC", L"other", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                       ::GetModuleHandleW(nullptr), nullptr);
  EXPECT_TRUE(::RegisterHotKey(other, 1, MOD_CONTROL | MOD_SHIFT, VK_F8));
  ::UnregisterHotKey(other, 1);
  ::DestroyWindow(other);
  EXPECT_EQ(ManagementHotkey(db, 2), kCtrlShiftF9);
  // Cleared: stored as 0 and nothing registered.
  ASSERT_TRUE(hotkeys.ChangeManagementHotkey(window, db, 2, 0));
  EXPECT_FALSE(Registered(ManagementHotkeyId(2)));
  EXPECT_EQ(ManagementHotkey(db, 2), 0u);
}

TEST_F(Hotkeys, ATakenManagementHotkeyIsReportedByName) {
  const HWND other = ::CreateWindowExW(0, L"STATIC", L"other", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                       ::GetModuleHandleW(nullptr), nullptr);
  ASSERT_TRUE(::RegisterHotKey(other, 7, MOD_CONTROL | MOD_ALT, VK_F9));
  ASSERT_TRUE(ExchangeManagementHotkey(db, 1, kCtrlAltF9).stored);
  ASSERT_TRUE(ExchangeManagementHotkey(db, 3, kCtrlShiftF8).stored);
  EXPECT_EQ(hotkeys.RegisterManagementHotkeys(window, db), L"Ctrl + Alt + F9 热键注册失败!\r\n");
  EXPECT_TRUE(Registered(ManagementHotkeyId(3)));
  ::UnregisterHotKey(other, 7);
  ::DestroyWindow(other);
}

TEST(HotkeyText, NamesOrTheNumberOfTheKey) {
  EXPECT_EQ(HotkeyText(0x0674), L"Ctrl + Alt + F5");
  EXPECT_EQ(HotkeyText(0x0141), L"Shift + A");
  EXPECT_EQ(HotkeyText(0x009A), L"0x9A");
}

}  // namespace
}  // namespace vellumo::shell
