// What a lock asks of the item editors.
#include "editor/item_editor.h"

#include <iterator>
#include <string>
#include <string_view>

#include "protect/secret_content.h"
#include "resources/resource.h"

namespace vellumo::editor {

bool ItemEditor::ShowsSecret() const {
  if (!hwnd) return false;
  // Either box may hold the text: the hidden one keeps what it had before
  // the last wrap switch.
  for (const int box : {IDC_EDITOR_CONTENT, IDC_EDITOR_CONTENT_WRAPPED}) {
    wchar_t start[protect::kSecretTagUnits + 2] = {};
    ::GetDlgItemTextW(hwnd, box, start, static_cast<int>(std::size(start)));
    const std::wstring_view text(start);
    if (protect::IsSecretContent(std::u16string(text.begin(), text.end()))) return true;
  }
  return false;
}

void EditorList::CloseShowingSecrets() {
  editors_.remove_if([](const std::unique_ptr<ItemEditor>& e) {
    return !e->IsOpen() || (!e->Prompting() && e->ShowsSecret());
  });
}

}  // namespace vellumo::editor
