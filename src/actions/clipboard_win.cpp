#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <cwchar>

#include "actions/clipboard.h"

namespace vellumo::actions {

namespace {

// Another program may hold the clipboard for a moment (a clipboard manager
// reading what was just copied): a few short retries before giving up.
bool OpenClipboardPatiently(HWND owner) {
  for (int attempt = 0; attempt < 5; ++attempt) {
    if (::OpenClipboard(owner)) return true;
    ::Sleep(10);
  }
  return false;
}

class ClipboardScope {
 public:
  explicit ClipboardScope(HWND owner) : open_(OpenClipboardPatiently(owner)) {}
  ~ClipboardScope() {
    if (open_) ::CloseClipboard();
  }
  ClipboardScope(const ClipboardScope&) = delete;
  ClipboardScope& operator=(const ClipboardScope&) = delete;
  explicit operator bool() const { return open_; }

 private:
  bool open_;
};

// A lock on a global memory block, released on every path.
class GlobalLock {
 public:
  explicit GlobalLock(HGLOBAL memory) : memory_(memory), data_(memory ? ::GlobalLock(memory) : nullptr) {}
  ~GlobalLock() {
    if (data_) ::GlobalUnlock(memory_);
  }
  GlobalLock(const GlobalLock&) = delete;
  GlobalLock& operator=(const GlobalLock&) = delete;
  void* data() const { return data_; }

 private:
  HGLOBAL memory_;
  void* data_;
};

}  // namespace

bool SetClipboardText(HWND owner, std::u16string_view text) {
  ClipboardScope clipboard(owner);
  if (!clipboard) return false;
  ::EmptyClipboard();
  HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(char16_t));
  if (!memory) return false;
  {
    GlobalLock lock(memory);
    if (!lock.data()) {
      ::GlobalFree(memory);
      return false;
    }
    auto* units = static_cast<char16_t*>(lock.data());
    std::copy(text.begin(), text.end(), units);
    units[text.size()] = u'\0';
  }
  if (!::SetClipboardData(CF_UNICODETEXT, memory)) {
    ::GlobalFree(memory);  // still ours when the clipboard did not take it
    return false;
  }
  return true;
}

ClipboardText ReadClipboardText(HWND owner, std::size_t capacity) {
  ClipboardText result;
  ClipboardScope clipboard(owner);
  if (!clipboard) return result;
  if (HGLOBAL memory = ::GetClipboardData(CF_UNICODETEXT)) {
    GlobalLock lock(memory);
    if (const auto* units = static_cast<const char16_t*>(lock.data())) {
      // The block may be larger than its text, and a careless program may
      // leave it unterminated: never read past the block.
      const std::size_t blockUnits = ::GlobalSize(memory) / sizeof(char16_t);
      const std::size_t length = std::find(units, units + blockUnits, u'\0') - units;
      result.text.assign(units, std::min(length, capacity));
      result.cut = length > capacity;
      if (!result.text.empty()) return result;
    }
  }
  if (HANDLE drop = ::GetClipboardData(CF_HDROP)) {
    const auto files = static_cast<HDROP>(drop);
    if (::DragQueryFileW(files, 0xFFFFFFFF, nullptr, 0) > 0) {
      const UINT length = ::DragQueryFileW(files, 0, nullptr, 0);
      std::wstring path(length + 1, L'\0');
      (void)::DragQueryFileW(files, 0, path.data(), length + 1);
      // The copy is terminated; its count is not trusted beyond that.
      const std::size_t copied = std::wcslen(path.c_str());
      result.text.assign(path.begin(), path.begin() + static_cast<std::ptrdiff_t>(std::min(copied, capacity)));
      result.cut = copied > capacity;
    }
  }
  return result;
}

}  // namespace vellumo::actions
