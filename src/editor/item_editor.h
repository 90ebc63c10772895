#pragma once
// The item editor (dialog 110): one item of one note, its title, content
// and icon.  Several may be open; a request reuses one that has no unsaved
// changes unless another is asked for.  Interface thread only.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>

#include "editor/editor_commands.h"
#include "editor/message.h"
#include "notes/program_context.h"
#include "platform/window_base.h"
#include "platform/win_handles.h"

namespace vellumo::editor {

class ItemEditor : public platform::DialogBase<ItemEditor> {
 public:
  ItemEditor(notes::ProgramContext& context, HMENU insertMenu);
  ~ItemEditor();
  ItemEditor(const ItemEditor&) = delete;
  ItemEditor& operator=(const ItemEditor&) = delete;

  // Creates the window and shows `item` of `note` (0: a new item).
  bool Create(std::uint32_t note, std::uint32_t item);
  bool IsOpen() const { return hwnd != nullptr; }
  bool ChangedSinceLoad() const { return changedSinceLoad_; }
  bool Shows(std::uint32_t note, std::uint32_t item) const { return note == note_ && item == item_; }
  std::uint32_t Note() const { return note_; }
  std::uint32_t Item() const { return item_; }
  bool Modified() const { return modified_; }
  bool Prompting() const { return prompting_; }
  // The content box holds a "<k>"/"<K>" text with a body, shown decrypted.
  bool ShowsSecret() const;
  // At exit: unsaved changes are offered for saving first.  False when the
  // user chose to stay.
  bool AskToClose();

 private:
  friend class platform::DialogBase<ItemEditor>;
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnInit();
  void OnCommand(int id, int code, HWND control);
  void Switch(std::uint32_t item, std::uint32_t note);
  void LoadItem();
  // False when nothing was saved (the user was told why).
  bool SaveItem();
  void NewItem(bool copy);
  // Asks to save unsaved changes; false when the user cancelled or the save
  // failed, so the caller stays.
  bool SaveOrDiscard(LeaveReason reason);
  void Close();
  void SetModified(bool modified);
  void SetCaption(std::u16string_view title);
  void RedrawPreview();
  void Capture(bool title);
  void SwapContentBoxes();
  void Layout();
  void FindInCurrent();
  void FindNext(bool byTitle);
  void Insert(int commandId);
  void OnSearchChanged();

  HWND Control(int id) const { return ::GetDlgItem(hwnd, id); }
  std::u16string Text(int id, std::size_t limit) const;
  void SetText(int id, std::u16string_view text);
  int Ask(const Message& message, UINT type);
  void Tell(const Message& message) { (void)Ask(message, MB_OK); }
  std::u16string NoteName() const;
  // The model's neighbour of an item id in this note, for the arrows.
  std::function<std::uint32_t(std::uint32_t, int)> AdjacentInNote() const;
  bool IsSecret(std::u16string_view content) const;

  notes::ProgramContext& context_;
  HMENU insertMenu_;
  std::uint32_t note_ = 0;
  std::uint32_t item_ = 0;
  bool modified_ = false;
  bool changedSinceLoad_ = false;
  bool prompting_ = false;
  bool loading_ = false;  // texts set by the program are no edits
  std::u16string searchText_;  // lower-case, at most 30 units
  platform::BitmapHandle preview_;
  HWND iconDialog_ = nullptr;  // the change-icon dialog while it is open
};

// The open editors, newest first.
class EditorList {
 public:
  // `newEditor` (Shift held): another editor even when one could be reused.
  void Open(notes::ProgramContext& context, HMENU insertMenu, std::uint32_t note, std::uint32_t item,
            bool newEditor);
  // Dialog keyboard handling (Tab, Enter) for the editor the message is for.
  bool PreTranslate(MSG& message);
  std::size_t OpenCount();
  // The editor opened or reused last; null when none is open.
  ItemEditor* Newest();
  // Closes every editor, asking about unsaved changes; false (and the
  // editors that are left stay open) when the user chose to stay or an
  // editor is showing a question right now.
  bool CloseAllAsking();
  void CloseAll();
  // After a lock no decrypted text may stay on screen: closes, without
  // asking, every editor showing a "<k>"/"<K>" text, except one that is
  // asking a question right now (its loop still runs on it).
  void CloseShowingSecrets();

 private:
  void Prune();
  std::list<std::unique_ptr<ItemEditor>> editors_;
};

}  // namespace vellumo::editor
