#include "notes/item_tooltip.h"

#include <gtest/gtest.h>

#include <string>

#include "model/items.h"
#include "model/records.h"
#include "platform/win_handles.h"
#include "store/ku.h"
#include "support/temp_dir.h"

namespace vellumo::notes {
namespace {

constexpr std::uint32_t kNote = 5;

// Wine creates windows only with a display driver: an X display, or its
// null driver (HKCU\Software\Wine\Drivers, Graphics = "null").  Without
// either no window of any class can exist, which is not this code's fault.
bool WindowsCanExist() {
  HWND probe = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  if (!probe) return false;
  ::DestroyWindow(probe);
  return true;
}

class ItemTooltipTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!WindowsCanExist()) GTEST_SKIP() << "no display driver: run under Xvfb or Wine's null graphics driver";
    const OpenResult r = db.OpenFiles(dir / "t.ku", dir / "t.hs");
    ASSERT_TRUE(r == OpenResult::Created || r == OpenResult::Opened);
    font.reset(::CreateFontW(-14, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma"));
    ASSERT_TRUE(font);
    ASSERT_TRUE(tooltip.Create(::GetModuleHandleW(nullptr)));
    ASSERT_TRUE(::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
  }
  void PutItem(std::uint32_t item, std::u16string_view title, std::u16string_view content) {
    const auto t = Utf16ToBytes(title);
    ASSERT_EQ(db.Put(model::ItemFieldKey(kNote, model::item_field::kTitle, item), t.data(),
                     static_cast<std::uint32_t>(t.size())),
              0);
    ASSERT_EQ(model::PutItemContent(db, kNote, item, content), 0);
  }
  RECT WindowRect() {
    RECT r{};
    ::GetWindowRect(tooltip.Window(), &r);
    return r;
  }
  bool Visible() { return ::IsWindowVisible(tooltip.Window()) != FALSE; }

  testing::TempDir dir;
  Ku db;
  platform::FontHandle font;
  ItemTooltip tooltip;
  RECT work{};
};

TEST_F(ItemTooltipTest, WindowIsAHiddenTopmostToolWindow) {
  HWND w = tooltip.Window();
  wchar_t name[64] = {};
  ::GetClassNameW(w, name, 64);
  EXPECT_STREQ(name, L"VellumoTooltip");
  const auto style = static_cast<DWORD>(::GetWindowLongPtrW(w, GWL_STYLE));
  const auto exStyle = static_cast<DWORD>(::GetWindowLongPtrW(w, GWL_EXSTYLE));
  EXPECT_EQ(style & (WS_POPUP | WS_CAPTION), static_cast<DWORD>(WS_POPUP | WS_BORDER)) << "a border, no title";
  EXPECT_EQ(exStyle & (WS_EX_TOOLWINDOW | WS_EX_TOPMOST), static_cast<DWORD>(WS_EX_TOOLWINDOW | WS_EX_TOPMOST));
  EXPECT_FALSE(Visible());
  EXPECT_FALSE(tooltip.IsShown());
}

TEST_F(ItemTooltipTest, ShowsTitleAndContentBelowRightOfThePointer) {
  PutItem(1, u"002|记事", u"<K>the encrypted body");
  PutItem(2, u"命令", u"<cmd>dir\r\nsecond line");

  tooltip.Show(db, kNote, 1, 100, 120, font.get(), true);
  EXPECT_TRUE(tooltip.IsShown());
  EXPECT_TRUE(Visible());
  EXPECT_EQ(tooltip.Text(), u"记事\r\n<K>");
  const RECT one = WindowRect();
  EXPECT_EQ(one.left, 118);
  EXPECT_EQ(one.top, 138);
  EXPECT_GT(one.right - one.left, 14);

  tooltip.Show(db, kNote, 2, 100, 120, font.get(), true);
  EXPECT_EQ(tooltip.Text(), u"命令\r\n<cmd>dir\r\nsecond line");
  const RECT three = WindowRect();
  tooltip.Show(db, kNote, 2, 100, 120, font.get(), false);
  EXPECT_EQ(tooltip.Text(), u"命令");
  const RECT titleOnly = WindowRect();
  // Every line adds its height; the window is the text plus 8.
  const int twoLines = (three.bottom - three.top) - (titleOnly.bottom - titleOnly.top);
  EXPECT_GT(twoLines, 0);
  EXPECT_EQ(three.bottom - three.top, 3 * (twoLines / 2) + 8);
  ::UpdateWindow(tooltip.Window());  // paints without trouble
}

TEST_F(ItemTooltipTest, StaysInsideTheRightEdgeAndIsNeverMovedUp) {
  PutItem(1, u"a fairly long title for the edge", u"");
  const int right = static_cast<int>(work.right);
  const int bottom = static_cast<int>(work.bottom);
  tooltip.Show(db, kNote, 1, right - 5, bottom - 5, font.get(), false);
  const RECT r = WindowRect();
  EXPECT_EQ(r.right, right);
  EXPECT_EQ(r.top, bottom + 13);

  // Text wider than the work area takes all of it but 18 pixels.
  PutItem(2, std::u16string(255, u'W'), u"");
  tooltip.Show(db, kNote, 2, 300, 10, font.get(), false);
  const RECT wide = WindowRect();
  EXPECT_EQ(wide.left, 18);
  EXPECT_EQ(wide.right, right);
}

TEST_F(ItemTooltipTest, EmptyTitleHidesButKeepsTheShownFlag) {
  PutItem(1, u"title", u"");
  tooltip.Show(db, kNote, 1, 10, 10, font.get(), false);
  ASSERT_TRUE(Visible());

  // Moving on to a gap (item 0) or to an item without a title hides the
  // window, but the next item shows at once.
  for (std::uint32_t gap : {0u, 42u}) {
    tooltip.Show(db, kNote, 1, 10, 10, font.get(), false);
    tooltip.Show(db, kNote, gap, 10, 10, font.get(), false);
    EXPECT_FALSE(Visible()) << gap;
    EXPECT_TRUE(tooltip.IsShown()) << gap;
    EXPECT_TRUE(tooltip.Text().empty()) << gap;
  }

  tooltip.Hide();
  EXPECT_FALSE(tooltip.IsShown());
  EXPECT_FALSE(Visible());
  tooltip.Hide();
  EXPECT_FALSE(tooltip.IsShown());
}

TEST_F(ItemTooltipTest, WithoutWindowNothingHappens) {
  PutItem(1, u"title", u"");
  tooltip.Destroy();
  EXPECT_EQ(tooltip.Window(), nullptr);
  tooltip.Show(db, kNote, 1, 10, 10, font.get(), false);
  EXPECT_FALSE(tooltip.IsShown());
  tooltip.Hide();
  // A window destroyed from outside is forgotten too.
  ASSERT_TRUE(tooltip.Create(::GetModuleHandleW(nullptr)));
  tooltip.Show(db, kNote, 1, 10, 10, font.get(), false);
  ::DestroyWindow(tooltip.Window());
  EXPECT_EQ(tooltip.Window(), nullptr);
  EXPECT_FALSE(tooltip.IsShown());
}

TEST_F(ItemTooltipTest, KeepsItsOwnFontWhenTheLenderGoes) {
  // A note window lends its item font and may be reaped while the tooltip
  // is still up: the tooltip must keep writing with a font of its own.
  PutItem(1, u"title", u"content");
  tooltip.Show(db, kNote, 1, 10, 10, font.get(), false);
  const HFONT own = tooltip.Font();
  ASSERT_NE(own, nullptr);
  EXPECT_NE(own, font.get());
  LOGFONTW lent{}, copy{};
  ASSERT_EQ(::GetObjectW(font.get(), sizeof lent, &lent), static_cast<int>(sizeof lent));
  ASSERT_EQ(::GetObjectW(own, sizeof copy, &copy), static_cast<int>(sizeof copy));
  EXPECT_EQ(copy.lfHeight, lent.lfHeight);
  EXPECT_STREQ(copy.lfFaceName, lent.lfFaceName);

  font.reset();
  ::RedrawWindow(tooltip.Window(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_EQ(::GetObjectType(own), static_cast<DWORD>(OBJ_FONT));
  // The same shape lent again reuses the copy; the copy goes with the window.
  platform::FontHandle same(::CreateFontIndirectW(&lent));
  tooltip.Show(db, kNote, 1, 10, 10, same.get(), false);
  EXPECT_EQ(tooltip.Font(), own);
  tooltip.Destroy();
  EXPECT_EQ(::GetObjectType(own), 0u);
}

}  // namespace
}  // namespace vellumo::notes
