#pragma once
// Dialog 141, the items page of the management window: the items of the
// selected note, filtered, to run, delete or open in the editor.
#include <windows.h>

#include <cstdint>
#include <string>

#include "manager/note_filter.h"
#include "platform/window_base.h"

namespace vellumo::shell {

struct App;

class ItemListPage : public platform::DialogBase<ItemListPage> {
 public:
  // `pageFilter` lives on in the management window while the page is made
  // again for another note.
  ItemListPage(App& app, std::uint32_t note, const manager::NoteFilter& windowFilter, std::u16string& pageFilter)
      : app_(app), note_(note), windowFilter_(windowFilter), pageFilter_(pageFilter) {}
  HWND Create(HWND container);
  void Refresh();

 private:
  friend class platform::DialogBase<ItemListPage>;
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnInit();
  void OnCommand(int id, int code);
  void OnNotify(const NMHDR& header);
  void DeleteSelected();
  void ExecuteSelected();
  std::uint32_t ItemAt(int row) const;
  HWND List() const { return ::GetDlgItem(hwnd, 1013); }

  App& app_;
  std::uint32_t note_;
  const manager::NoteFilter& windowFilter_;
  std::u16string& pageFilter_;
};

}  // namespace vellumo::shell
