// The database name a command line asks for.
#include "shell/command_line.h"

#include <gtest/gtest.h>

namespace vellumo::shell {
namespace {

TEST(DatabaseNameFromCommandLine, TakesEverythingAfterTheProgramWhole) {
  const std::u16string long200(200, u'库');
  const struct {
    std::u16string commandLine;
    std::u16string name;
  } cases[] = {
      {u"vellumo.exe", u""},
      {u"vellumo.exe   ", u""},
      {u"vellumo.exe 工作", u"工作"},          // all outside ASCII: must not fall back to the default
      {u"vellumo.exe 便利贴notes", u"便利贴notes"},  // leading Chinese characters are kept
      {u"\"C:\\Program Files\\v\\vellumo.exe\" 家 用", u"家 用"},
      {u"\"C:\\a b\\vellumo.exe\"work", u"work"},
      {u"vellumo.exe\t\tmine", u"mine"},
      {u"\"unterminated quote", u""},
      {u"", u""},
      {u"v.exe " + long200, long200.substr(0, 127)},
  };
  for (const auto& c : cases) EXPECT_EQ(DatabaseNameFromCommandLine(c.commandLine), c.name);
}

}  // namespace
}  // namespace vellumo::shell
