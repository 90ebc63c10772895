#include "notes/item_tooltip.h"

#include <algorithm>
#include <string>

#include "model/items.h"

namespace vellumo::notes {
namespace {

// The window's own DC for measuring, released on every path.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(::GetDC(window)) {}
  ~WindowDc() {
    if (dc_) ::ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

class PaintScope {
 public:
  explicit PaintScope(HWND window) : window_(window), dc_(::BeginPaint(window, &paint_)) {}
  ~PaintScope() { ::EndPaint(window_, &paint_); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

// Selects a borrowed font and puts the DC's own back on exit.
class FontSelection {
 public:
  FontSelection(HDC dc, HFONT font) : dc_(dc), previous_(dc && font ? ::SelectObject(dc, font) : nullptr) {}
  ~FontSelection() {
    if (previous_) ::SelectObject(dc_, previous_);
  }
  FontSelection(const FontSelection&) = delete;
  FontSelection& operator=(const FontSelection&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace

ItemTooltip::~ItemTooltip() { Destroy(); }

bool ItemTooltip::Create(HINSTANCE instance) {
  if (window_) return true;
  instance_ = instance;
  WNDCLASSEXW c{};
  c.cbSize = sizeof c;
  c.style = CS_HREDRAW | CS_VREDRAW;
  c.lpfnWndProc = &ItemTooltip::WindowProcedure;
  c.hInstance = instance;
  c.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_INFOBK + 1));
  c.lpszClassName = kTooltipClassName;
  if (!::RegisterClassExW(&c) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  window_ = ::CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kTooltipClassName, L"", WS_POPUP | WS_BORDER,
                              CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, nullptr, nullptr, instance, this);
  return window_ != nullptr;
}

void ItemTooltip::Destroy() {
  // The window procedure clears window_ when the window goes.
  if (window_) ::DestroyWindow(window_);
  window_ = nullptr;
  shown_ = false;
  font_ = nullptr;
}

std::u16string_view ItemTooltip::Text() const {
  const auto end = std::find(text_.begin(), text_.end(), L'\0');
  return {reinterpret_cast<const char16_t*>(text_.data()), static_cast<std::size_t>(end - text_.begin())};
}

void ItemTooltip::Show(Ku& db, std::uint32_t note, std::uint32_t item, int screenX, int screenY, HFONT font,
                       bool withContent) {
  if (!window_) return;
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
  ::ShowWindow(window_, SW_HIDE);
}

void ItemTooltip::ShowText(std::u16string_view title, std::u16string_view content, int screenX, int screenY,
                           HFONT font) {
  if (!window_) return;
  if (title.empty()) {
    HideWindowOnly();
    return;
  }
  const std::u16string text = ComposeTooltipText(title, content);
  const std::size_t units = std::min(text.size(), text_.size() - 1);
  std::copy_n(text.begin(), units, text_.begin());
  text_[units] = L'\0';
  shown_ = true;
  font_ = font;

  TextExtent extent;
  {
    WindowDc dc(window_);
    FontSelection selection(dc.get(), font);
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
  ::SetWindowPos(window_, HWND_TOPMOST, r.left, r.top, r.width, r.height, SWP_SHOWWINDOW | SWP_NOACTIVATE);
  ::InvalidateRect(window_, nullptr, TRUE);
}

void ItemTooltip::Hide() {
  if (!window_ || !shown_) return;
  ::ShowWindow(window_, SW_HIDE);
  shown_ = false;
}

void ItemTooltip::OnPaint() {
  PaintScope paint(window_);
  if (!shown_ || !paint.get()) return;
  ::SetBkMode(paint.get(), TRANSPARENT);
  ::SetTextColor(paint.get(), RGB(0, 0, 0));
  FontSelection selection(paint.get(), font_);
  RECT r{};
  ::GetClientRect(window_, &r);
  ::OffsetRect(&r, 6, 3);
  ::DrawTextW(paint.get(), text_.data(), -1, &r, DT_WORDBREAK);
}

LRESULT CALLBACK ItemTooltip::WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<ItemTooltip*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return ::DefWindowProcW(window, message, wParam, lParam);
  switch (message) {
    case WM_PAINT:
      self->OnPaint();
      return 0;
    case WM_NCDESTROY:
      ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      self->window_ = nullptr;
      self->shown_ = false;
      break;
    default:
      break;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

ItemTooltip& TheItemTooltip() {
  static ItemTooltip tooltip;
  return tooltip;
}

bool CreateItemTooltip(HINSTANCE instance) { return TheItemTooltip().Create(instance); }
void DestroyItemTooltip() { TheItemTooltip().Destroy(); }
void ShowItemTooltip(Ku& db, std::uint32_t note, std::uint32_t item, int screenX, int screenY, HFONT font,
                     bool withContent) {
  TheItemTooltip().Show(db, note, item, screenX, screenY, font, withContent);
}
void HideItemTooltip() { TheItemTooltip().Hide(); }
bool IsTooltipShown() { return TheItemTooltip().IsShown(); }

}  // namespace vellumo::notes
