#include "manager/note_properties.h"

#include <gtest/gtest.h>

#include <string>

namespace vellumo::manager {
namespace {

TEST(NoteProperties, TriggerBoxesAreTheBitsInOrder) {
  std::array<bool, kTriggerBoxes> boxes{};
  EXPECT_EQ(TriggersFromBoxes(boxes), 0u);
  boxes[7] = boxes[13] = boxes[15] = true;  // left edge, Ctrl, at start
  EXPECT_EQ(TriggersFromBoxes(boxes), 0xA080u);
  EXPECT_EQ(BoxesFromTriggers(0xA080u), boxes);
  EXPECT_EQ(BoxesFromTriggers(0xFFFF0000u), (std::array<bool, kTriggerBoxes>{}));  // higher bits have no box
}

TEST(NoteProperties, SyncPasswordRule) {
  struct Case {
    std::u16string password;
    bool accepted;
  };
  const Case cases[] = {
      {u"abcdefg!", true},                  // exactly 8 with a symbol
      {u"abcd1234", false},                 // letters and digits only
      {u"abc!", false},                     // too short
      {u"同步密码同步密码", true},           // Chinese counts as outside the ASCII letters and digits
      {std::u16string(64, u'#'), true},
      {std::u16string(65, u'#'), false},
      {u"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(SyncPasswordAcceptable(c.password), c.accepted) << c.password.size();
}

}  // namespace
}  // namespace vellumo::manager
