#pragma once
// Running an item: what a click on it does, and the captures and dropped
// files that make items.  The decisions are in command_dispatch.h,
// run_target.h and capture_title.h; this is where they meet the program's
// windows, database and keyboard.  Interface thread only.
#include <windows.h>

#include <cstdint>
#include <string_view>

#include "actions/action_queue.h"
#include "notes/program_context.h"

namespace vellumo::actions {

// A click on the item: starts its command, or opens the item editor when
// its content is no command.  Never waits and shows no message of its own;
// an encrypted sequence while locked brings up the password dialog instead.
void ExecuteItem(notes::ProgramContext& context, ActionQueue& queue, std::uint32_t note, std::uint32_t item);

// Asks the main window for the item editor.
void OpenItemEditor(notes::ProgramContext& context, std::uint32_t note, std::uint32_t item, bool newEditor);

// A file dropped on a note: a "<run>" item named after it.
void MakeRunItem(notes::ProgramContext& context, std::uint32_t note, std::u16string_view path);

// The last step of a capture: the clipboard, as the copy left it, becomes
// a "<v>" item of the note; the user hears of a refusal or a cut text.
void FinishCaptureToItem(notes::ProgramContext& context, std::uint32_t note);

// The last step of a capture into the editor: the clipboard text plus two
// empty lines goes after the selection of the edit control, selected, and
// the control takes the focus.
void FinishCaptureToEditor(HWND clipboardOwner, HWND edit, std::int32_t limit);

}  // namespace vellumo::actions
