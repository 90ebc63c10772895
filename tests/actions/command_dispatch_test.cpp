#include "actions/command_dispatch.h"

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace vellumo::actions {
namespace {

std::string Printable(std::u16string_view text) {
  std::string out;
  for (char16_t c : text) out += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
  return out;
}

// One line per command, so that a table can say what it expects.
std::string Describe(const Command& decided) {
  struct Visitor {
    std::string operator()(const command::Edit&) const { return "edit"; }
    std::string operator()(const command::OpenNotes& c) const {
      std::string out = c.withParent ? "open" : "OPEN";
      for (std::uint32_t id : c.noteIds) out += " " + std::to_string(id);
      return out;
    }
    std::string operator()(const command::CommandLine& c) const { return "cmdline [" + Printable(c.commandLine) + "]"; }
    std::string operator()(const command::Run& c) const { return "run [" + Printable(c.text) + "]"; }
    std::string operator()(const command::Paste& c) const { return "paste [" + Printable(c.text) + "]"; }
    static std::string Kind(ActionKind kind) { return kind == ActionKind::TypeKeys ? "keys" : "chars"; }
    std::string operator()(const command::Type& c) const { return "type " + Kind(c.kind) + " [" + Printable(c.sequence) + "]"; }
    std::string operator()(const command::TypeSecret& c) const {
      return "secret " + Kind(c.kind) + " [" + Printable(c.cipherBody) + "]";
    }
  };
  return std::visit(Visitor{}, decided);
}

struct Case {
  std::u16string content;
  std::string expected;
};

void Check(std::span<const Case> cases) {
  for (const Case& c : cases) EXPECT_EQ(Describe(DecideItemCommand(c.content)), c.expected) << Printable(c.content);
}

TEST(DecideItemCommand, EachTagWithItsText) {
  const Case cases[] = {
      {u"<open>3,4", "open 3 4"},
      {u"<OPEN>5", "OPEN 5"},
      {u"<cmd>dir", "cmdline [cmd /c dir]"},
      {u"<run>C:\\Tools\\x.exe|-a -b", "run [C:\\Tools\\x.exe|-a -b]"},
      {u"<v>Hello", "paste [Hello]"},
      {u"<a>abc", "type chars [abc]"},
      {u"<A>{ENTER}", "type keys [{ENTER}]"},
      {u"<k>QUJD", "secret chars [QUJD]"},
      {u"<K>QUJD", "secret keys [QUJD]"},
  };
  Check(cases);
}

TEST(DecideItemCommand, NoCommandOpensTheEditor) {
  const Case cases[] = {
      {u"", "edit"},
      {u"plain text", "edit"},
      {u" <run>x", "edit"},  // a tag counts only at the very start
      {u"<open>", "edit"},   // a tag alone is no command
      {u"<OPEN>", "edit"},
      {u"<cmd>", "edit"},
      {u"<run>", "edit"},
      {u"<v>", "edit"},
      {u"<a>", "edit"},
      {u"<A>", "edit"},
      {u"<k>", "edit"},
      {u"<K>", "edit"},
      {u"<CMD>dir", "edit"},  // tags are case sensitive
      {u"<Run>x", "edit"},
      {u"<Open>3", "edit"},
      {u"<V>x", "edit"},
      {u"<x>y", "edit"},
      {u"<>", "edit"},
      {u"<ru", "edit"},
      {std::u16string(u"<run>\0x", 7), "edit"},  // the content ends at a zero unit
  };
  Check(cases);
}

TEST(DecideItemCommand, CommentMarkerEndsTheTextExceptForPaste) {
  const Case cases[] = {
      {u"<cmd>dir<>list the folder", "cmdline [cmd /c dir]"},
      {u"<cmd><>only a comment", "cmdline [cmd /c ]"},  // still run, with an empty command
      {u"<run>C:\\Tools\\x.exe|-a -b<>note", "run [C:\\Tools\\x.exe|-a -b]"},
      {u"<run><>x", "run []"},
      {u"<a>ab<>cd<>ef", "type chars [ab]"},
      {u"<A><>", "type keys []"},
      {u"<v>a<>b", "paste [a<>b]"},
      {u"<k>QU<>JD", "secret chars [QU<>JD]"},  // cut only after decrypting
      {u"<open>3<>,4", "open 3"},
      {u"<cmd>a<b>c", "cmdline [cmd /c a<b>c]"},
      {u"<cmd>a< >c", "cmdline [cmd /c a< >c]"},
  };
  Check(cases);
}

TEST(DecideItemCommand, OpenListsAsTheUserWroteThem) {
  const Case cases[] = {
      {u"<open>abc", "open"},  // nothing opens
      {u"<open>3,0,4", "open 3"},
      {u"<open> 3, 4", "open 3 4"},
      {u"<open>3;4", "open 3"},
      {u"<OPEN>-1", "OPEN"},
  };
  Check(cases);
}

TEST(DecideItemCommand, PlainContentIsActedOnUpToTheReadBuffer) {
  const std::u16string longText(40000, u'x');
  const auto paste = std::get<command::Paste>(DecideItemCommand(u"<v>" + longText));
  EXPECT_EQ(paste.text.size(), kExecuteBufferUnits - 1 - 3);
  const auto typed = std::get<command::Type>(DecideItemCommand(u"<a>" + longText + u"<>tail"));
  EXPECT_EQ(typed.sequence.size(), kExecuteBufferUnits - 1 - 3);
  // A marker whose ">" falls just past the buffer is no marker.
  const std::u16string straddling = u"<a>" + std::u16string(kExecuteBufferUnits - 1 - 4, u'y') + u"<>z";
  EXPECT_EQ(std::get<command::Type>(DecideItemCommand(straddling)).sequence,
            std::u16string(kExecuteBufferUnits - 1 - 4, u'y') + u"<");
  const std::u16string inside = u"<a>" + std::u16string(kExecuteBufferUnits - 1 - 5, u'y') + u"<>z";
  EXPECT_EQ(std::get<command::Type>(DecideItemCommand(inside)).sequence, std::u16string(kExecuteBufferUnits - 1 - 5, u'y'));
}

TEST(DecideItemCommand, EncryptedBodyIsNeverCut) {
  // Encrypted contents may be stored up to 30784 units; a cut cipher text
  // would decrypt to nothing.
  const std::u16string body(30781, u'Q');
  const auto secret = std::get<command::TypeSecret>(DecideItemCommand(u"<K>" + body));
  EXPECT_EQ(secret.cipherBody, body);
  EXPECT_EQ(secret.kind, ActionKind::TypeKeys);
}

TEST(CutAtComment, EndsAtTheFirstMarkerOrZeroUnit) {
  struct CutCase {
    std::u16string text;
    std::u16string expected;
  };
  const CutCase cases[] = {
      {u"abc", u"abc"},
      {u"ab<>c<>d", u"ab"},
      {u"<>abc", u""},
      {u"a<b>c", u"a<b>c"},
      {u"a<", u"a<"},
      {u"", u""},
      {std::u16string(u"ab\0<>c", 6), u"ab"},
      {std::u16string(u"a<\0>c", 5), u"a<"},
  };
  for (const CutCase& c : cases) EXPECT_EQ(CutAtComment(c.text), c.expected) << Printable(c.text);
}

}  // namespace
}  // namespace vellumo::actions
