#pragma once
// ManagementDialog: dialog 107, the whole client area of the main window:
// the filtered note list on the left, the selected note's pages in a tab
// control on the right, and the note commands of the menu.
#include <windows.h>

#include <cstdint>
#include <string>

#include <memory>

#include "manager/note_filter.h"
#include "platform/window_base.h"
#include "shell/appearance_page.h"
#include "shell/item_list_page.h"
#include "shell/properties_page.h"

namespace vellumo::shell {

struct App;

enum class PageTab : int { Main = 0, Appearance = 1, Items = 2 };

class ManagementDialog : public platform::DialogBase<ManagementDialog> {
 public:
  explicit ManagementDialog(App& app) : app_(app) {}
  std::uint32_t CurrentNote() const { return currentNote_; }
  PageTab CurrentTab() const { return currentTab_; }
  HWND Page() const { return page_; }
  // The properties page renamed the current note: its entry, sorted anew.
  void ReplaceCurrentEntry(std::u16string_view name);
  // The page container's vertical scrolling (line, page, thumb, wheel).
  void ScrollPage(int request, int thumb);
  manager::FilterMode Mode() const { return filter_.mode; }

 private:
  friend class platform::DialogBase<ManagementDialog>;
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnInit();
  void Layout(int width, int height);
  void ReloadNotes();
  void OnFilterTextChanged();
  void OnFilterEnter();
  void OnFilterButton(manager::FilterMode button);
  void OnSelectionChange();
  void SelectNote(std::uint32_t note, PageTab tab);
  void RebuildPage();
  void NewNote();
  void OpenCurrentNote();
  void DeleteOrClearCurrentNote(bool remove);
  void ClearIconCacheAndReport();
  void ShowSyncError(std::uint32_t note, int code);
  int Ask(const std::wstring& text, const wchar_t* caption, UINT type);
  void CheckModeButtons();

  App& app_;
  std::uint32_t currentNote_ = 0;
  int currentIndex_ = -1;
  PageTab currentTab_ = PageTab::Main;
  manager::NoteFilter filter_;
  HWND pageContainer_ = nullptr;
  HWND page_ = nullptr;
  void SetUpScrolling();
  void MovePage();
  std::unique_ptr<ItemListPage> itemPage_;
  std::unique_ptr<PropertiesPage> propertiesPage_;
  std::unique_ptr<AppearancePage> appearancePage_;
  int pageOffset_ = 0;  // 0 or negative: how far the page is scrolled up
  int minPageOffset_ = 0;
  std::u16string itemPageFilter_;
};

// The text of the sync error box.
std::wstring SyncErrorText(std::u16string_view noteName, std::uint32_t note, int code);

}  // namespace vellumo::shell
