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
#include "store/ku.h"

namespace vellumo::notes {

inline constexpr wchar_t kTooltipClassName[] = L"VellumoTooltip";

class ItemTooltip {
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
  // when withContent is set or Ctrl is held.  The font is borrowed: it must
  // outlive the shown tooltip.
  void Show(Ku& db, std::uint32_t note, std::uint32_t item, int screenX, int screenY, HFONT font, bool withContent);
  // The same for a text that has been read already.
  void ShowText(std::u16string_view title, std::u16string_view content, int screenX, int screenY, HFONT font);
  void Hide();
  bool IsShown() const { return shown_; }

  HWND Window() const { return window_; }
  std::u16string_view Text() const;

 private:
  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
  void OnPaint();
  void HideWindowOnly();

  HWND window_ = nullptr;
  HINSTANCE instance_ = nullptr;
  std::array<wchar_t, kTooltipTextUnits> text_{};
  bool shown_ = false;
  HFONT font_ = nullptr;  // borrowed, never deleted
};

// The program's tooltip; destroyed with the process's static objects.
ItemTooltip& TheItemTooltip();

bool CreateItemTooltip(HINSTANCE instance);
void DestroyItemTooltip();
void ShowItemTooltip(Ku& db, std::uint32_t note, std::uint32_t item, int screenX, int screenY, HFONT font,
                     bool withContent);
void HideItemTooltip();
bool IsTooltipShown();

}  // namespace vellumo::notes
