#include "editor/editor_reuse.h"

#include <gtest/gtest.h>

#include <vector>

namespace vellumo::editor {
namespace {

TEST(ChooseEditor, ReusesTheNewestFreeEditor) {
  struct Case {
    const char* what;
    std::vector<EditorView> editors;  // newest first
    bool shift;
    EditorChoiceKind kind;
    std::size_t index;
  };
  const Case cases[] = {
      {"none open", {}, false, EditorChoiceKind::New, 0},
      {"one without changes", {{true, 1, 4, false}}, false, EditorChoiceKind::Switch, 0},
      {"it shows this item", {{true, 1, 7, false}}, false, EditorChoiceKind::Reuse, 0},
      {"this item with changes", {{true, 1, 7, true}}, false, EditorChoiceKind::Reuse, 0},
      {"another item with changes", {{true, 1, 4, true}}, false, EditorChoiceKind::New, 0},
      {"the same item of another note", {{true, 2, 7, true}}, false, EditorChoiceKind::New, 0},
      {"skips the changed one", {{true, 1, 4, true}, {true, 3, 2, false}}, false, EditorChoiceKind::Switch, 1},
      {"skips closed ones", {{false, 1, 7, false}, {true, 3, 2, false}}, false, EditorChoiceKind::Switch, 1},
      {"the newest wins", {{true, 3, 2, false}, {true, 1, 7, false}}, false, EditorChoiceKind::Switch, 0},
      {"shift always opens another", {{true, 1, 7, false}}, true, EditorChoiceKind::New, 0},
  };
  for (const Case& c : cases) {
    const EditorChoice choice = ChooseEditor(c.editors, 1, 7, c.shift);
    EXPECT_EQ(choice.kind, c.kind) << c.what;
    if (c.kind != EditorChoiceKind::New) {
      EXPECT_EQ(choice.index, c.index) << c.what;
    }
  }
}

TEST(ChooseEditor, EncryptedItemsWantThePasswordWhileLocked) {
  struct Case {
    std::u16string content;
    bool unlocked, password;
  };
  const Case cases[] = {
      {u"<k>\u1234\u5678", false, true}, {u"<K>x", false, true}, {u"<k>x", true, false},
      {u"<k>", false, false},  // nothing secret in a bare tag
      {u"<a>x", false, false},   {u"", false, false},
  };
  for (const Case& c : cases) EXPECT_EQ(OpenNeedsPassword(c.content, c.unlocked), c.password) << c.content.size();
}

}  // namespace
}  // namespace vellumo::editor
