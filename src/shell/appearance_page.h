#pragma once
// Dialog 106, the appearance page of the management window: a note's look
// and window behaviour, stored as it changes, and the named schemes.
#include <windows.h>

#include <cstdint>
#include <string>

#include "model/appearance.h"
#include "platform/window_base.h"

namespace vellumo::shell {

struct App;

class AppearancePage : public platform::DialogBase<AppearancePage> {
 public:
  AppearancePage(App& app, std::uint32_t note) : app_(app), note_(note) {}
  HWND Create(HWND container);

 private:
  friend class platform::DialogBase<AppearancePage>;
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnInit();
  void Show();
  void OnCommand(int id, int code);
  bool ReadControl(int id, int code);
  void PickColour(std::size_t offset);
  void PickFont(bool title);
  void StoreIfChanged();
  void LoadScheme();
  void SaveScheme(bool asDefault);
  void DeleteScheme();
  std::u16string ComboText() const;
  void SetComboText(std::u16string_view text);
  int Tell(const wchar_t* text, const wchar_t* caption, UINT type);
  void Changed();

  App& app_;
  std::uint32_t note_;
  model::AppearanceBlock working_;
  model::AppearanceBlock stored_;
  bool ready_ = false;
};

}  // namespace vellumo::shell
