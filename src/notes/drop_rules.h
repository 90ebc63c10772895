#pragma once
// What a drop on a note window decides before anything is written: the
// effect shown to the drag source, what the item under the pointer makes of
// the drop, the titles and contents of the items a drop creates, the
// argument list handed to a program item, and the title prefix that moves
// one item before another.  No Win32 here; drop_target_win.cpp carries the
// decisions out.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vellumo::notes {

// The DROPEFFECT bits, spelled out so that the rules build anywhere.
namespace drop_effect {
inline constexpr std::uint32_t kNone = 0, kCopy = 1, kMove = 2, kLink = 4;
}

// The effect a drag over a note window shows.  Without text on offer every
// drop links; Ctrl+Shift links, Ctrl copies, Shift moves, and with neither
// the source's own preference order (move, copy, link) decides.  A move or
// copy the source does not allow falls back to a link.
[[nodiscard]] std::uint32_t ChooseDropEffect(bool accepted, bool ctrl, bool shift, std::uint32_t allowed);

// What the item under the drop point does with the drop.
struct DropOnItem {
  enum class Kind { None, Program, OpenNote };
  Kind kind = Kind::None;
  // Program: the item's "<run>" text cut at its first "|" and first "<>",
  // tag included, followed by "|"; the dropped paths are added to it.
  std::u16string command;
  // OpenNote: the first note the item opens; 0 when it names none.
  std::uint32_t note = 0;
};
// Only the first 1020 units of the content are looked at.  A "<run>" item
// takes drops when its program part ends in ".lnk", ".exe" or ".bat" in any
// case; "<open>" and "<OPEN>" items send the drop to their first note.
[[nodiscard]] DropOnItem ClassifyDropOnItem(std::u16string_view content);
[[nodiscard]] inline bool IsDropTargetItem(std::u16string_view content) {
  return ClassifyDropOnItem(content).kind != DropOnItem::Kind::None;
}

// The command line gathered for a program item: each path goes in double
// quotes with a space after it while the buffer holds at most 15864 units,
// so that the longest path a shell list yields (260 units) still fits the
// 16384-unit buffer.  Paths that come once it is full are left out: the
// program gets the ones that fit rather than a cut-off argument.
class ProgramArguments {
 public:
  static constexpr std::size_t kCapacity = 16384;
  static constexpr std::size_t kFullAt = 15864;
  static constexpr std::size_t kMaxPathChars = 260;

  explicit ProgramArguments(std::u16string command);
  // False when the path was left out (the buffer is full, or the path is
  // longer than any a shell list names).
  bool Add(std::u16string_view path);
  std::size_t Count() const { return count_; }
  // The text for the launcher: the program, "|" and the arguments, without
  // the "<run>" tag and the last space.
  [[nodiscard]] std::u16string RunText() const;
  std::size_t Size() const { return buffer_.size(); }

 private:
  std::u16string buffer_;
  std::size_t count_ = 0;
};

// A dragged internet shortcut: its descriptor name without the extension
// (".url" in practice: the last four units go when the fourth from the end
// is "." and there is more than that), at most 250 units.
inline constexpr std::size_t kMaxShortcutTitleChars = 250;
inline constexpr std::size_t kMaxUrlChars = 30715;
[[nodiscard]] std::u16string ShortcutTitle(std::u16string_view descriptorName);
[[nodiscard]] std::u16string ShortcutContent(std::u16string_view url);

// Dropped text: content "<v>" + text, title ">" + the text's start, 20
// units in all.  A text over 30716 units is cut, and the user is told.
inline constexpr std::size_t kMaxTextTitleChars = 20;
inline constexpr std::size_t kLongTextChars = 30716;
inline constexpr char16_t kTextCutMessage[] = u"拖入内容长度超出30KB，超出部分已被截除！";
inline constexpr char16_t kTextCutCaption[] = u"便利贴 - 注意";
struct DroppedText {
  std::u16string title;
  std::u16string content;
  bool cut = false;
};
[[nodiscard]] DroppedText MakeTextItem(std::u16string_view text);

// Dragging item I before item J of the same note: the title I should get so
// that the title order puts it before J, or nothing when its title already
// has the right prefix.  Titles order by an optional "...!NNN|" prefix;
// J's number is taken over, one less when I already shares J's prefix, and
// 999 when J has no usable number.
[[nodiscard]] std::optional<std::u16string> ReorderedTitle(std::u16string_view titleI, std::u16string_view titleJ);

}  // namespace vellumo::notes
