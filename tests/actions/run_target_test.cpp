#include "actions/run_target.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace vellumo::actions {
namespace {

std::string Printable(std::u16string_view text) {
  std::string out;
  for (char16_t c : text) out += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
  return out;
}

std::string Optional(const std::optional<std::u16string>& text) { return text ? "[" + Printable(*text) + "]" : "none"; }

TEST(SplitRunText, TargetParametersAndWorkingFolder) {
  struct Case {
    std::u16string text;
    std::string target, parameters, folder;
  };
  const Case cases[] = {
      {u"C:\\Tools\\x.exe|-a -b", "C:\\Tools\\x.exe", "[-a -b]", "[C:\\Tools]"},
      {u"notepad|C:\\data\\a.txt", "notepad", "[C:\\data\\a.txt]", "none"},  // parameters are not searched
      {u"notepad", "notepad", "none", "none"},
      {u"notepad|", "notepad", "[]", "none"},
      {u"x.exe| a |b ", "x.exe", "[ a |b ]", "none"},  // only the first bar splits; nothing trimmed
      {u"\"C:\\Program Files\\App\\a.exe\"|-q", "\"C:\\Program Files\\App\\a.exe\"", "[-q]", "[C:\\Program Files\\App]"},
      {u"\\\\server\\share\\tool.exe", "\\\\server\\share\\tool.exe", "none", "[\\\\server\\share]"},
      {u"C:\\x.exe", "C:\\x.exe", "none", "[C:\\]"},  // a drive root keeps its backslash
      {u"\"C:\\x.exe\"", "\"C:\\x.exe\"", "none", "[C:\\]"},
      {u"C:\\Tools\\", "C:\\Tools\\", "none", "[C:\\Tools]"},
      {u"\\x.exe", "\\x.exe", "none", "none"},  // empty folder: none
      {u"\"\\x.exe\"", "\"\\x.exe\"", "none", "none"},
      {u"\"", "\"", "none", "none"},
      {u"http://example.com/a?b|c", "http://example.com/a?b", "[c]", "none"},
      {u"|-x", "", "[-x]", "none"},
      {std::u16string(u"a\\b.exe\0|x", 10), "a\\b.exe", "none", "[a]"},
  };
  for (const Case& c : cases) {
    const RunParts parts = SplitRunText(c.text);
    EXPECT_EQ(Printable(parts.target), c.target) << Printable(c.text);
    EXPECT_EQ(Optional(parts.parameters), c.parameters) << Printable(c.text);
    EXPECT_EQ(Optional(parts.workingFolder), c.folder) << Printable(c.text);
  }
}

std::string Describe(const RunPlan& plan) {
  struct Visitor {
    std::string operator()(const run_plan::Nothing&) const { return "nothing"; }
    std::string operator()(const run_plan::ShellOpen& p) const {
      return "open [" + Printable(p.file) + "] " + Optional(p.parameters) + " " + Optional(p.workingFolder);
    }
    std::string operator()(const run_plan::ExplorerSelect& p) const { return "explorer [" + Printable(p.parameters) + "]"; }
    std::string operator()(const run_plan::PasteTarget& p) const { return "paste [" + Printable(p.text) + "]"; }
  };
  return std::visit(Visitor{}, plan);
}

TEST(PlanRunTarget, PlainAndWithCtrlHeld) {
  struct Case {
    std::u16string text;
    bool ctrl;
    std::string expected;
  };
  const Case cases[] = {
      {u"C:\\Tools\\x.exe|-a -b", false, "open [C:\\Tools\\x.exe] [-a -b] [C:\\Tools]"},
      {u"notepad|C:\\data\\a.txt", false, "open [notepad] [C:\\data\\a.txt] none"},
      {u"https://example.com", false, "open [https://example.com] none none"},
      {u"C:\\Tools\\x.exe", true, "explorer [/select,\"C:\\Tools\\x.exe\"]"},
      {u"C:\\Tools\\x.exe|-a", true, "explorer [/select,\"C:\\Tools\\x.exe\"]"},
      // A quoted target is not quoted twice.
      {u"\"C:\\Program Files\\a.exe\"|-q", true, "explorer [/select,\"C:\\Program Files\\a.exe\"]"},
      {u"notepad", true, "paste [notepad]"},
      {u"notepad|x", true, "paste [notepad]"},
      {u"", false, "nothing"},
      {u"", true, "nothing"},
      {u"|-x", false, "nothing"},
      {u"|-x", true, "nothing"},
  };
  for (const Case& c : cases) EXPECT_EQ(Describe(PlanRunTarget(c.text, c.ctrl)), c.expected) << Printable(c.text);
}

TEST(RunItem, TitleIsTheFileNameWithoutProgramExtensions) {
  struct Case {
    std::u16string path;
    std::u16string title;
  };
  const Case cases[] = {
      {u"C:\\Apps\\Tool.EXE", u"Tool"},
      {u"C:\\Apps\\Link.lnk", u"Link"},
      {u"C:\\Apps\\Link.LnK", u"Link"},
      {u"C:\\Docs\\a.txt", u"a.txt"},
      {u"C:\\Apps\\.exe", u".exe"},  // four units: nothing would be left
      {u"C:\\Apps\\a.exe", u"a"},
      {u"C:\\Apps\\", u"Apps\\"},  // the last unit is no separator
      {u"\\", u"\\"},
      {u"Tool.exe", u"Tool"},
      {u"C:\\a.exe.txt", u"a.exe.txt"},
      {u"", u""},
  };
  for (const Case& c : cases) EXPECT_EQ(RunItemTitle(c.path), c.title) << Printable(c.path);
  EXPECT_EQ(RunItemContent(u"C:\\Apps\\Tool.EXE"), u"<run>C:\\Apps\\Tool.EXE");
}

TEST(RunItem, LongNamesAreCutAfterTheExtensionIsDropped) {
  const std::u16string name70(70, u'n');
  EXPECT_EQ(RunItemTitle(u"D:\\" + name70), name70.substr(0, 60));
  const std::u16string name58(58, u'n');
  EXPECT_EQ(RunItemTitle(u"D:\\" + name58 + u".exe"), name58);
  EXPECT_EQ(RunItemTitle(u"D:\\" + name58 + u".txt"), name58 + u".t");
}

}  // namespace
}  // namespace vellumo::actions
