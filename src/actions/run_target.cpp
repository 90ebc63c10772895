#include "actions/run_target.h"

namespace vellumo::actions {
namespace {

std::u16string_view UpToZero(std::u16string_view text) {
  if (const auto zero = text.find(u'\0'); zero != std::u16string_view::npos) text = text.substr(0, zero);
  return text;
}

std::optional<std::u16string> WorkingFolderOf(std::u16string_view target) {
  const auto slash = target.rfind(u'\\');
  if (slash == std::u16string_view::npos) return std::nullopt;
  const std::size_t begin = target.starts_with(u'"') ? 1 : 0;
  // The quote sits before any "\", so begin <= slash.
  std::u16string folder(target.substr(begin, slash - begin));
  if (folder.empty()) return std::nullopt;
  if (folder.size() == 2 && folder[1] == u':') folder.push_back(u'\\');
  return folder;
}

// The path inside a quoted target, so that Explorer does not get it quoted
// twice; an unquoted target is taken whole.
std::u16string_view UnquotedPath(std::u16string_view target) {
  if (!target.starts_with(u'"')) return target;
  target.remove_prefix(1);
  if (const auto close = target.find(u'"'); close != std::u16string_view::npos) target = target.substr(0, close);
  return target;
}

std::u16string AsciiLower(std::u16string_view text) {
  std::u16string lower(text);
  for (auto& c : lower)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + (u'a' - u'A'));
  return lower;
}

}  // namespace

RunParts SplitRunText(std::u16string_view text) {
  text = UpToZero(text);
  RunParts parts;
  std::u16string_view target = text;
  if (const auto bar = text.find(u'|'); bar != std::u16string_view::npos) {
    target = text.substr(0, bar);
    parts.parameters = std::u16string(text.substr(bar + 1));
  }
  parts.target = std::u16string(target);
  parts.workingFolder = WorkingFolderOf(target);
  return parts;
}

RunPlan PlanRunTarget(std::u16string_view text, bool ctrlDown) {
  RunParts parts = SplitRunText(text);
  if (parts.target.empty()) return run_plan::Nothing{};
  if (ctrlDown) {
    if (parts.workingFolder) return run_plan::ExplorerSelect{u"/select,\"" + std::u16string(UnquotedPath(parts.target)) + u"\""};
    return run_plan::PasteTarget{std::move(parts.target)};
  }
  return run_plan::ShellOpen{std::move(parts.target), std::move(parts.parameters), std::move(parts.workingFolder)};
}

std::u16string RunItemContent(std::u16string_view path) { return u"<run>" + std::u16string(path); }

std::u16string RunItemTitle(std::u16string_view path) {
  std::u16string_view title = path;
  if (!path.empty()) {
    const auto slash = path.substr(0, path.size() - 1).rfind(u'\\');
    if (slash != std::u16string_view::npos) title = path.substr(slash + 1);
  }
  if (title.size() > 4) {
    const std::u16string extension = AsciiLower(title.substr(title.size() - 4));
    if (extension == u".exe" || extension == u".lnk") title.remove_suffix(4);
  }
  return std::u16string(title.substr(0, kMaxRunItemTitleChars));
}

}  // namespace vellumo::actions
