#include "notes/item_tooltip.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "model/items.h"

namespace vellumo::notes {

ItemTooltip::~ItemTooltip() { Destroy(); }

bool ItemTooltip::Create(HINSTANCE instance) {
  if (hwnd) return true;
  instance_ = instance;
  WNDCLASSEXW c{};
  c.cbSize = sizeof c;
  c.style = CS_HREDRAW | CS_VREDRAW;
  c.lpfnWndProc = &ItemTooltip::WindowProcedure;
  c.hInstance = instance;
  c.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_INFOBK + 1));
  c.lpszClassName = kTooltipClassName;
  if (!::RegisterClassExW(&c) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  ::CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kTooltipClassName, L"", WS_POPUP | WS_BORDER, CW_USEDEFAULT,
                    CW_USEDEFAULT, 0, 0, nullptr, nullptr, instance, this);
  return hwnd != nullptr;
}

void ItemTooltip::Destroy() {
  // WM_NCDESTROY clears hwnd when the window goes.
  if (hwnd) ::DestroyWindow(hwnd);
  shown_ = false;
  font_.reset();
  fontShape_ = LOGFONTW{};
}

void ItemTooltip::AdoptFont(HFONT font) {
  LOGFONTW shape{};
  if (!font || ::GetObjectW(font, sizeof shape, &shape) != sizeof shape) {
    font_.reset();
    fontShape_ = LOGFONTW{};
    return;
  }
  // Most shows lend the same font: make a copy only when its shape changes.
  if (font_ && std::memcmp(&shape, &fontShape_, sizeof shape) == 0) return;
  font_.reset(::CreateFontIndirectW(&shape));
  fontShape_ = font_ ? shape : LOGFONTW{};
}

std::u16string_view ItemTooltip::Text() const {
  const auto end = std::find(text_.begin(), text_.end(), L'\0');
  return {reinterpret_cast<const char16_t*>(text_.data()), static_cast<std::size_t>(end - text_.begin())};
}

void ItemTooltip::Show(Ku& db, std::uint32_t note, std::uint32_t item, int screenX, int screenY, HFONT font,
                       bool withContent) {
  if (!hwnd) return;
  std::u16string title = item ? model::GetItemTitle(db, note, item) : std::u16string();
  if (title.size() > kTooltipTitleReadChars) title.resize(kTooltipTitleReadChars);
  std::u16string content;
  // Ctrl is read from the device: the keyboard focus is usually in another
  // program while the pointer is over a note.
  if (!title.empty() && (withContent || (::GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0)) {
    content = model::GetItemContent(db, note, item);
    if (content.size() > kTooltipContentReadChars) content.resize(kTooltipContentReadChars);
  }
  ShowText(title, content, screenX, screenY, font);
}

void ItemTooltip::HideWindowOnly() {
  text_[0] = L'\0';
  ::ShowWindow(hwnd, SW_HIDE);
}

void ItemTooltip::ShowText(std::u16string_view title, std::u16string_view content, int screenX, int screenY,
                           HFONT font) {
  if (!hwnd) return;
  if (title.empty()) {
    HideWindowOnly();
    return;
  }
  const std::u16string text = ComposeTooltipText(title, content);
  const std::size_t units = std::min(text.size(), text_.size() - 1);
  std::copy_n(text.begin(), units, text_.begin());
  text_[units] = L'\0';
  shown_ = true;
  AdoptFont(font);

  TextExtent extent;
  {
    platform::WindowDc dc(hwnd);
    platform::Selection selection(dc.get(), font_.get());
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc.get(), &metrics);
    extent = MeasureTooltipText(Text(), [&](std::u16string_view line) {
      if (line.empty()) return TextExtent{0, static_cast<int>(metrics.tmHeight)};
      SIZE size{};
      ::GetTextExtentPoint32W(dc.get(), reinterpret_cast<const wchar_t*>(line.data()),
                              static_cast<int>(line.size()), &size);
      return TextExtent{static_cast<int>(size.cx), static_cast<int>(size.cy)};
    });
  }
  RECT work{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const TooltipRect r = PlaceTooltip(screenX, screenY, extent, static_cast<int>(work.right));
  ::SetWindowPos(hwnd, HWND_TOPMOST, r.left, r.top, r.width, r.height, SWP_SHOWWINDOW | SWP_NOACTIVATE);
  ::InvalidateRect(hwnd, nullptr, TRUE);
}

void ItemTooltip::Hide() {
  if (!hwnd || !shown_) return;
  ::ShowWindow(hwnd, SW_HIDE);
  shown_ = false;
}

void ItemTooltip::OnPaint() {
  platform::PaintScope paint(hwnd);
  if (!shown_ || !paint.get()) return;
  ::SetBkMode(paint.get(), TRANSPARENT);
  ::SetTextColor(paint.get(), RGB(0, 0, 0));
  platform::Selection selection(paint.get(), font_.get());
  RECT r{};
  ::GetClientRect(hwnd, &r);
  ::OffsetRect(&r, 6, 3);
  ::DrawTextW(paint.get(), text_.data(), -1, &r, DT_WORDBREAK);
}

LRESULT ItemTooltip::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_NCDESTROY:
      shown_ = false;
      break;
    default:
      break;
  }
  return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace vellumo::notes
