#include "notes/drop_rules.h"

#include <gtest/gtest.h>

#include <string>

#include "actions/run_target.h"

namespace vellumo::notes {
namespace {

using namespace drop_effect;

std::string Narrow(std::u16string_view text) {
  std::string out;
  for (const char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

TEST(DropEffect, KeysAndAllowedEffectsDecide) {
  struct Case {
    bool accepted, ctrl, shift;
    std::uint32_t allowed, expected;
  };
  const std::uint32_t all = kCopy | kMove | kLink;
  const Case cases[] = {
      {false, false, false, all, kLink},         // no text on offer: always a link
      {false, true, false, all, kLink},
      {true, true, true, all, kLink},            // Ctrl+Shift
      {true, true, false, all, kCopy},           // Ctrl
      {true, false, true, all, kMove},           // Shift
      {true, false, false, all, kMove},          // neither: move first
      {true, false, false, kCopy | kLink, kCopy},
      {true, false, false, kLink, kLink},
      {true, false, false, kNone, kLink},
      {true, true, false, kMove | kLink, kLink},  // copy not allowed
      {true, false, true, kCopy | kLink, kLink},  // move not allowed
      {true, true, true, kCopy, kLink},          // a link even when not offered
  };
  for (const Case& c : cases)
    EXPECT_EQ(ChooseDropEffect(c.accepted, c.ctrl, c.shift, c.allowed), c.expected)
        << c.accepted << c.ctrl << c.shift << " allowed " << c.allowed;
}

TEST(DropOnItem, ProgramItemsOpenItemsAndTheRest) {
  using Kind = DropOnItem::Kind;
  struct Case {
    std::u16string content;
    Kind kind;
    std::u16string command;
    std::uint32_t note;
  };
  const Case cases[] = {
      {u"<run>C:\\bin\\tool.exe", Kind::Program, u"<run>C:\\bin\\tool.exe|", 0},
      {u"<run>C:\\bin\\tool.EXE|-v -x", Kind::Program, u"<run>C:\\bin\\tool.EXE|", 0},
      {u"<run>C:\\go.bat<>comment", Kind::Program, u"<run>C:\\go.bat|", 0},
      {u"<run>C:\\x\\Link.LnK|a<>b", Kind::Program, u"<run>C:\\x\\Link.LnK|", 0},
      {u"<run>C:\\readme.txt", Kind::None, u"", 0},
      {u"<run>C:\\tool.exe.txt|x.exe", Kind::None, u"", 0},  // the parameters do not count
      {u"<run>\"C:\\tool.exe\"", Kind::None, u"", 0},
      {u"<cmd>tool.exe", Kind::None, u"", 0},
      {u"<RUN>C:\\tool.exe", Kind::None, u"", 0},
      {u"C:\\tool.exe", Kind::None, u"", 0},
      {u"<open>12,15", Kind::OpenNote, u"", 12},
      {u"<OPEN> 7", Kind::OpenNote, u"", 7},
      {u"<open>", Kind::OpenNote, u"", 0},
      {u"<open>x", Kind::OpenNote, u"", 0},
  };
  for (const Case& c : cases) {
    const DropOnItem got = ClassifyDropOnItem(c.content);
    EXPECT_EQ(got.kind, c.kind) << Narrow(c.content);
    EXPECT_EQ(got.command, c.command) << Narrow(c.content);
    EXPECT_EQ(got.note, c.note) << Narrow(c.content);
    EXPECT_EQ(IsDropTargetItem(c.content), c.kind != Kind::None) << Narrow(c.content);
  }
}

TEST(DropOnItem, OnlyTheFirst1020UnitsAreLookedAt) {
  const std::u16string path = u"<run>C:\\" + std::u16string(1020 - 8 - 4, u'p') + u".exe";
  ASSERT_EQ(path.size(), 1020u);
  EXPECT_TRUE(IsDropTargetItem(path));
  EXPECT_FALSE(IsDropTargetItem(u"<run>C:\\" + std::u16string(1020 - 8 - 3, u'p') + u".exe"));
}

TEST(ProgramArguments, QuotesEachPathAsTheOnlyArguments) {
  ProgramArguments arguments(ClassifyDropOnItem(u"<run>C:\\bin\\tool.exe|--old<>note").command);
  EXPECT_EQ(arguments.RunText(), u"C:\\bin\\tool.exe|");
  EXPECT_TRUE(arguments.Add(u"C:\\a b\\one.txt"));
  EXPECT_TRUE(arguments.Add(u"D:\\two.doc"));
  EXPECT_EQ(arguments.Count(), 2u);
  EXPECT_EQ(arguments.RunText(), u"C:\\bin\\tool.exe|\"C:\\a b\\one.txt\" \"D:\\two.doc\"");
}

TEST(ProgramArguments, StopsAddingBeforeTheBufferCanOverflow) {
  ProgramArguments arguments(u"<run>C:\\t.exe|");
  const std::u16string longest(ProgramArguments::kMaxPathChars, u'x');
  EXPECT_FALSE(arguments.Add(longest + u"y"));  // no shell list names a longer path
  std::size_t added = 0;
  while (arguments.Add(longest)) {
    ++added;
    ASSERT_LE(arguments.Size(), ProgramArguments::kCapacity);
  }
  // Added while at most 15864 units were held: the last one started below
  // that mark and the buffer is now past it, still inside 16384.
  EXPECT_GT(arguments.Size(), ProgramArguments::kFullAt);
  EXPECT_LE(arguments.Size(), ProgramArguments::kCapacity);
  EXPECT_EQ(added, (ProgramArguments::kFullAt - 14) / (longest.size() + 3) + 1);
  EXPECT_FALSE(arguments.Add(u"C:\\short"));
  const std::u16string text = arguments.RunText();
  EXPECT_EQ(text.back(), u'"');  // whole arguments only
  EXPECT_TRUE(text.starts_with(u"C:\\t.exe|\""));
}

TEST(DropTitles, FilesLinksAndText) {
  const std::u16string name70(70, u'n');
  struct Case {
    const char* what;
    std::u16string got, expected;
  };
  const Case cases[] = {
      // A dropped file (the title rules of a path item).
      {"70-unit name cut to 60", actions::RunItemTitle(u"C:\\d\\" + name70), std::u16string(60, u'n')},
      {".exe dropped", actions::RunItemTitle(u"C:\\Setup.EXE"), u"Setup"},
      {"other extensions kept", actions::RunItemTitle(u"C:\\d\\notes.txt"), u"notes.txt"},
      {"path item content", actions::RunItemContent(u"C:\\d\\notes.txt"), u"<run>C:\\d\\notes.txt"},
      // A dragged internet shortcut.
      {".url removed", ShortcutTitle(u"新闻 首页.url"), u"新闻 首页"},
      {"any four-unit extension goes", ShortcutTitle(u"page.htm"), u"page"},
      {"longer extension stays", ShortcutTitle(u"page.html"), u"page.html"},
      {"name of just an extension stays", ShortcutTitle(u".url"), u".url"},
      {"five units with a dot", ShortcutTitle(u"a.url"), u"a"},
      {"shortcut title cut to 250", ShortcutTitle(std::u16string(300, u's') + u".url"), std::u16string(250, u's')},
      {"shortcut content", ShortcutContent(u"https://example.test/a?b"), u"<run>https://example.test/a?b"},
      {"url cut to 30715", ShortcutContent(std::u16string(40000, u'u')),
       u"<run>" + std::u16string(kMaxUrlChars, u'u')},
      // Dropped text.
      {"short text title", MakeTextItem(u"hello").title, u">hello"},
      {"text title 20 in all", MakeTextItem(u"abcdefghijklmnopqrstuvwxyz").title, u">abcdefghijklmnopqrs"},
      {"text content", MakeTextItem(u"a\r\nb").content, u"<v>a\r\nb"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.expected) << c.what;
}

TEST(DropTitles, OverlongTextIsCutAndReported) {
  const DroppedText fits = MakeTextItem(std::u16string(kLongTextChars, u't'));
  EXPECT_FALSE(fits.cut);
  EXPECT_EQ(fits.content.size(), 3 + kLongTextChars);
  const DroppedText cut = MakeTextItem(std::u16string(50000, u't'));
  EXPECT_TRUE(cut.cut);
  EXPECT_EQ(cut.content.size(), 3 + kLongTextChars + 1);
}

TEST(Reorder, PrefixArithmetic) {
  struct Case {
    std::u16string titleI, titleJ;
    std::optional<std::u16string> expected;
  };
  const Case cases[] = {
      {u"bar", u"!005|foo", u"!005|bar"},            // J's number taken over
      {u"!005|zzz", u"!005|foo", u"!004|zzz"},       // already sharing it: one less
      {u"!004|zzz", u"!005|foo", u"!005|zzz"},       // an older prefix is replaced
      {u"ab!005|x", u"ab!005|y", u"ab!004|x"},       // the text before "!" is kept
      {u"x", u"!001|y", u"!001|x"},
      {u"!001|x", u"!001|y", u"!000|x"},
      {u"x", u"!000|y", u"!999|x"},                  // no usable number
      {u"x", u"!|y", u"!999|x"},
      {u"x", u"!-3|y", u"!999|x"},
      {u"x", u"foo", u"fo!999|x"},                   // J without "|"
      {u"x", u"!005foo", u"!0!999|x"},               // "!" but no "|": the plain rule
      {u"x", u"ab|c", u"ab!999|x"},                  // "|" but no "!"
      {u"q|x", u"ab|c", u"ab!999|x"},                // I's own prefix goes
      {u"x", u"0123456789!5|z", u"01!999|x"},        // "!" only counts in the first 10 units
      {u"x", u"abcdefgh!7|z", u"abcdefgh!007|x"},
      {u"x", u"!1234|y", u"!1234|x"},                // the number may grow past three digits
      {u"fo!999|x", u"foo", std::nullopt},           // already before J: nothing changes
      {u"!005|bar", u"!005|foo", u"!004|bar"},
      {u"ab!999|x", u"ab|c", std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ReorderedTitle(c.titleI, c.titleJ), c.expected) << Narrow(c.titleI) << " before " << Narrow(c.titleJ);
}

}  // namespace
}  // namespace vellumo::notes
