#pragma once
// The one tooltip window of the program: an item's title, and on request its
// content, next to the pointer.  Created once at start-up, hidden until used,
// shown and hidden by the note windows as the pointer moves over items.
// Interface thread only.
#include <windows.h>

#include <array>
#include <cstdint>
#include <string_view>

#include "notes/tooltip_text.h"
#include "platform/window_base.h"
#include "platform/win_handles.h"
#include "store/ku.h"

namespace vellumo::notes {

inline constexpr wchar_t kTooltipClassName[] = L"VellumoTooltip";

class ItemTooltip : public platform::WindowBase<ItemTooltip> {
 public:
  ItemTooltip() = default;
  ItemTooltip(const ItemTooltip&) = delete;
  ItemTooltip& operator=(const ItemTooltip&) = delete;
  ~ItemTooltip();

  // Registers the class and creates the hidden window; true when it exists.
  bool Create(HINSTANCE instance);
  void Destroy();

  // Item 0, or an item without a title, hides the window but leaves the
  // shown flag, so that the next item shows at once.  The content is shown
  // when withContent is set or Ctrl is held.  The tooltip writes with its own
  // copy of the font, so the window that lent it may go at any time.
  void Show(Ku& db, std::uint32_t note, std::uint32_t item, int screenX, int screenY, HFONT font, bool withContent);
  // The same for a text that has been read already.
  void ShowText(std::u16string_view title, std::u16string_view content, int screenX, int screenY, HFONT font);
  void Hide();
  bool IsShown() const { return shown_; }

  HWND Window() const { return hwnd; }
  HFONT Font() const { return font_.get(); }
  std::u16string_view Text() const;

 private:
  friend class platform::WindowBase<ItemTooltip>;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnPaint();
  void HideWindowOnly();
  void AdoptFont(HFONT font);

  HINSTANCE instance_ = nullptr;
  std::array<wchar_t, kTooltipTextUnits> text_{};
  bool shown_ = false;
  platform::FontHandle font_;  // a copy of the lent font; empty for the system font
  LOGFONTW fontShape_{};
};

}  // namespace vellumo::notes
