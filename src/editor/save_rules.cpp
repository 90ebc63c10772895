#include "editor/save_rules.h"

#include "editor/utf16_cut.h"
#include "protect/secret_content.h"

namespace vellumo::editor {

TitleCheck CheckTitle(std::u16string_view title) {
  if (title.size() > kTitleLimit) return TitleCheck::TooLong;
  if (title.empty()) return TitleCheck::Empty;
  return TitleCheck::Ok;
}

bool IsSecretContent(std::u16string_view content) { return protect::IsSecretContent(content); }

std::size_t StoredUnits(std::u16string_view plainContent) { return protect::StoredContentUnits(plainContent); }

std::optional<std::u16string> NewNoteName(std::u16string_view title, std::u16string_view content) {
  if (!content.empty() || title.size() < 2 || title.front() != u'>') return std::nullopt;
  return std::u16string(title.substr(1));
}

std::u16string OpenNoteContent(std::uint32_t note) {
  std::u16string digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + note % 10));
    note /= 10;
  } while (note != 0);
  return u"<open>" + digits;
}

SavePlan PlanSave(std::u16string_view title, std::u16string_view content, bool unlocked) {
  SavePlan plan;
  switch (CheckTitle(title)) {
    case TitleCheck::TooLong:
      plan.outcome = SaveOutcome::TitleTooLong;
      plan.message = kTitleTooLong;
      return plan;
    case TitleCheck::Empty:
      plan.outcome = SaveOutcome::TitleEmpty;
      plan.message = kTitleEmpty;
      return plan;
    case TitleCheck::Ok:
      break;
  }
  plan.encrypt = IsSecretContent(content);
  if (plan.encrypt && !unlocked) {
    plan.outcome = SaveOutcome::NeedsPassword;
    return plan;
  }
  if (NeedsCut(StoredUnits(content))) {
    plan.outcome = SaveOutcome::AskCut;
    plan.message = kCutContentQuestion;
    plan.keepUnits = CutPoint(content, plan.encrypt ? kSecretContentLimit : kContentLimit);
    return plan;
  }
  if (std::optional<std::u16string> name = NewNoteName(title, content)) {
    plan.outcome = SaveOutcome::MakeNote;
    plan.noteName = std::move(*name);
  }
  return plan;
}

}  // namespace vellumo::editor
