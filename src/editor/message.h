#pragma once
// A message box's text and caption, exactly as the user sees them.
#include <string_view>

namespace vellumo::editor {

struct Message {
  std::u16string_view text;
  std::u16string_view caption;
  friend bool operator==(const Message&, const Message&) = default;
};

}  // namespace vellumo::editor
