#include "actions/command_dispatch.h"

#include "actions/open_list.h"

namespace vellumo::actions {
namespace {

std::u16string_view UpToZero(std::u16string_view text) {
  if (const auto zero = text.find(u'\0'); zero != std::u16string_view::npos) text = text.substr(0, zero);
  return text;
}

// The comment search runs over the whole content, tag included; no tag can
// hold "<>", so the cut always falls at or after the tag's end.
std::u16string AfterTagUpToComment(std::u16string_view content, std::size_t tagUnits) {
  return std::u16string(CutAtComment(content).substr(tagUnits));
}

}  // namespace

std::u16string_view CutAtComment(std::u16string_view text) {
  text = UpToZero(text);
  if (const auto comment = text.find(u"<>"); comment != std::u16string_view::npos) text = text.substr(0, comment);
  return text;
}

Command DecideItemCommand(std::u16string_view content) {
  content = UpToZero(content);
  auto starts = [&](std::u16string_view tag) { return content.starts_with(tag) && content.size() > tag.size(); };

  if (starts(u"<k>") || starts(u"<K>"))
    return command::TypeSecret{std::u16string(content.substr(3)),
                               content[1] == u'K' ? ActionKind::TypeKeys : ActionKind::TypeChars};

  content = content.substr(0, kExecuteBufferUnits - 1);
  if (starts(u"<open>") || starts(u"<OPEN>"))
    return command::OpenNotes{ParseOpenList(content.substr(6)), content[1] == u'o'};
  if (starts(u"<cmd>")) return command::CommandLine{u"cmd /c " + AfterTagUpToComment(content, 5)};
  if (starts(u"<run>")) return command::Run{AfterTagUpToComment(content, 5)};
  if (starts(u"<v>")) return command::Paste{std::u16string(content.substr(3))};
  if (starts(u"<a>") || starts(u"<A>"))
    return command::Type{AfterTagUpToComment(content, 3), content[1] == u'A' ? ActionKind::TypeKeys : ActionKind::TypeChars};
  return command::Edit{};
}

}  // namespace vellumo::actions
