#pragma once
// What a "<run>" text asks the shell to do, and the item a dropped file
// becomes.  The Win32 launcher only carries a plan out: ShellExecuteW for
// ShellOpen (once more without the folder when the first call returns 32 or
// less), Explorer for ExplorerSelect, a PasteText action for PasteTarget.
//
// A run text is "target" or "target|parameters".  The parameters are passed
// exactly as written, bar and all after the first one; only the target is
// looked at for the working folder.
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace vellumo::actions {

struct RunParts {
  std::u16string target;
  std::optional<std::u16string> parameters;     // absent without a "|"
  std::optional<std::u16string> workingFolder;  // absent when the target names none
};

// The text ends at its first zero unit, as the launcher's terminated buffer
// would.  The working folder is the target up to its last "\", after a
// leading double quote; a drive root keeps its "\" ("C:\x.exe" runs in
// "C:\", since "C:" alone means the drive's current folder), and an empty
// folder counts as none.
[[nodiscard]] RunParts SplitRunText(std::u16string_view text);

namespace run_plan {
struct Nothing {};
struct ShellOpen {
  std::u16string file;
  std::optional<std::u16string> parameters;
  std::optional<std::u16string> workingFolder;
};
// Explorer opens the target's folder with the target selected.
struct ExplorerSelect {
  std::u16string parameters;  // /select,"<path>"
};
// Ctrl on a target without a folder (a bare program name, a URL): the
// target's text is pasted into the foreground window instead.
struct PasteTarget {
  std::u16string text;
};
}  // namespace run_plan
using RunPlan = std::variant<run_plan::Nothing, run_plan::ShellOpen, run_plan::ExplorerSelect, run_plan::PasteTarget>;

// `ctrlDown` is the state of Ctrl when the item is run.  An empty text or an
// empty target does nothing: the shell would guess at a file nobody named.
[[nodiscard]] RunPlan PlanRunTarget(std::u16string_view text, bool ctrlDown);

inline constexpr std::size_t kMaxRunItemTitleChars = 60;

// The item made from a dropped file: content "<run>" + path; title the last
// path component (a trailing "\" is not a separator), without ".exe" or
// ".lnk" in any case, at most 60 units.
[[nodiscard]] std::u16string RunItemContent(std::u16string_view path);
[[nodiscard]] std::u16string RunItemTitle(std::u16string_view path);

}  // namespace vellumo::actions
