#pragma once
// Answers the message boxes a window under test shows on this thread: a
// thread timer, which the box's own modal loop runs, reads the box's
// caption and text and presses the chosen button.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace vellumo::testing {

class MessageBoxAnswerer {
 public:
  explicit MessageBoxAnswerer(int button = IDOK) : MessageBoxAnswerer(std::vector<int>{button}) {}
  // One answer a box, in order; the last answers every box after it.
  explicit MessageBoxAnswerer(std::vector<int> buttons) {
    answers_ = buttons.empty() ? std::vector<int>{IDOK} : std::move(buttons);
    seen_.clear();
    timer_ = ::SetTimer(nullptr, 0, 30, &Tick);
  }
  ~MessageBoxAnswerer() { ::KillTimer(nullptr, timer_); }
  MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
  MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

  // "caption:text" of every box answered, in order.
  static const std::vector<std::wstring>& Seen() { return seen_; }
  static void Answer(int button) { answers_ = {button}; }

 private:
  static BOOL CALLBACK Visit(HWND window, LPARAM) {
    wchar_t className[16] = {};
    ::GetClassNameW(window, className, 16);
    if (std::wstring(className) != L"#32770" || !::IsWindowVisible(window)) return TRUE;
    // A message box holds a static text control 0xFFFF; other dialogs of
    // the test (the editor) do not.
    const HWND text = ::GetDlgItem(window, 0xFFFF);
    if (!text) return TRUE;
    wchar_t caption[128] = {}, body[512] = {};
    ::GetWindowTextW(window, caption, 128);
    ::GetWindowTextW(text, body, 512);
    seen_.push_back(std::wstring(caption) + L":" + body);
    const std::size_t next = std::min(seen_.size(), answers_.size()) - 1;
    ::PostMessageW(window, WM_COMMAND, static_cast<WPARAM>(answers_[next]), 0);
    return FALSE;
  }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    ::EnumThreadWindows(::GetCurrentThreadId(), &Visit, 0);
  }

  UINT_PTR timer_ = 0;
  static inline std::vector<int> answers_{IDOK};
  static inline std::vector<std::wstring> seen_;
};

}  // namespace vellumo::testing
