#pragma once
// The system clipboard as the paste and capture actions use it: text in
// and out, and the first file of a copied file list read as its path.
// Opened with the main window as owner.  Interface thread only.
#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace vellumo::actions {

// Replaces the clipboard's content with the text; false when the clipboard
// could not be opened or the text not placed.
bool SetClipboardText(HWND owner, std::u16string_view text);

struct ClipboardText {
  std::u16string text;
  bool cut = false;  // the clipboard held more than `capacity` units
};
// The clipboard's text, at most `capacity` units; without text, the full
// path of the first file of a copied file list; empty when neither is there
// or the clipboard could not be opened.
ClipboardText ReadClipboardText(HWND owner, std::size_t capacity);

}  // namespace vellumo::actions
