#pragma once
// The "<v>" item a capture of the selected text becomes, and what the user is
// told about it.  The title is "!<n>|" + the first 30 units of the text, with
// n = 999999 - the note's ItemIdCounter: notes list items by title and hide
// the part up to the first "|", so later captures sort first, unseen.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vellumo::actions {

inline constexpr std::size_t kMaxCaptureChars = 30717;  // "<v>" + this = 30720, the editor's limit
inline constexpr std::size_t kCaptureTitleTextChars = 30;

struct CapturedItem {
  std::u16string title;
  std::u16string content;
  bool cut = false;  // the text was longer than kMaxCaptureChars
};

// `text` is what the clipboard gave; `clipboardCut` says the reader already
// had to cut it.  The number is computed without wrapping, so a counter
// above 999999 gives a negative number rather than a huge one.
[[nodiscard]] CapturedItem MakeCapturedItem(std::uint32_t itemIdCounter, std::u16string_view text, bool clipboardCut);

struct UserMessage {
  std::u16string text;
  std::u16string caption;
};

// After CreateItem: its failure, else a cut text, else nothing to say.
[[nodiscard]] std::optional<UserMessage> CaptureOutcomeMessage(bool createFailed, bool cut);

}  // namespace vellumo::actions
