#pragma once
// What running an item does, decided from its content alone.  A content is a
// command when it begins with one of these tags, compared exactly and case
// sensitively, first match wins, and has at least one unit after the tag:
//
//   tag      text after the tag            "<>" ends it  command
//   <open>   note ids (see open_list.h)    -             OpenNotes, this note as parent
//   <OPEN>   note ids                      -             OpenNotes, no parent
//   <cmd>    command line                  yes           CommandLine ("cmd /c " + text)
//   <run>    target[|parameters]           yes           Run (see run_target.h)
//   <v>      text to paste                 no            Paste
//   <k>/<K>  encrypted key sequence        after decrypting  TypeSecret (TypeChars/TypeKeys)
//   <a>/<A>  key sequence                  yes           Type (TypeChars/TypeKeys)
//
// Anything else, or a tag with nothing after it, opens the item editor.  "<>"
// is the comment marker: what follows it is for the reader, not the command.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "actions/action_queue.h"

namespace vellumo::actions {

// The content is read into a terminated buffer of this many units, so a
// plain content is acted on up to 30751 of its units.  An encrypted body is
// never cut: a cut cipher text decrypts to nothing.
inline constexpr std::size_t kExecuteBufferUnits = 30752;

namespace command {
struct Edit {};
struct OpenNotes {
  std::vector<std::uint32_t> noteIds;  // possibly empty: "<open>abc" opens nothing
  bool withParent = false;             // "<open>": the clicked note lends its look
};
struct CommandLine {
  std::u16string commandLine;  // "cmd /c " + text, run hidden
};
struct Run {
  std::u16string text;  // for PlanRunTarget
};
struct Paste {
  std::u16string text;
};
struct Type {
  std::u16string sequence;
  ActionKind kind = ActionKind::TypeChars;  // TypeChars or TypeKeys
};
// Needs the content key: while locked the password dialog opens instead and
// nothing is typed; once decrypted, CutAtComment gives the sequence.
struct TypeSecret {
  std::u16string cipherBody;
  ActionKind kind = ActionKind::TypeChars;
};
}  // namespace command

using Command = std::variant<command::Edit, command::OpenNotes, command::CommandLine, command::Run, command::Paste,
                             command::Type, command::TypeSecret>;

// The text before the first "<>", the whole text when it has none.  A zero
// unit ends the text as well: everything downstream takes terminated text.
[[nodiscard]] std::u16string_view CutAtComment(std::u16string_view text);

[[nodiscard]] Command DecideItemCommand(std::u16string_view content);

}  // namespace vellumo::actions
