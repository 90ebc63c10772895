// What queued actions and note windows ask of the rest of the program.
#include <windows.h>

#include "actions/clipboard.h"
#include "actions/item_runner.h"
#include "actions/keyboard_input.h"
#include "notes/note_window.h"
#include "notes/trigger_notes.h"
#include "shell/app.h"

namespace vellumo::shell {

void ShellActionPerformer::OpenNotesForTrigger(std::uint32_t triggerCode) {
  if (!context_.database) return;
  auto held = [](int key) { return (::GetAsyncKeyState(key) & 0x8000) != 0; };
  const notes::HeldModifiers modifiers{held(VK_SHIFT), held(VK_CONTROL), held(VK_MENU)};
  for (const std::uint32_t note : notes::NotesOpenedBy(*context_.database, triggerCode, modifiers))
    (void)notes::OpenNoteWindow(context_, note);
}

void ShellActionPerformer::SendCtrlChord(std::uint8_t vk) { actions::SendCtrlChord(vk); }

void ShellActionPerformer::SetClipboardText(std::u16string_view text) {
  (void)actions::SetClipboardText(context_.mainWindow, text);
}

void ShellActionPerformer::CaptureToItem(std::uint32_t note) { actions::FinishCaptureToItem(context_, note); }

void ShellActionPerformer::CaptureToEditor(std::uint64_t editControl, std::int32_t limit) {
  actions::FinishCaptureToEditor(context_.mainWindow, reinterpret_cast<HWND>(static_cast<std::uintptr_t>(editControl)),
                                 limit);
}

bool ShellActionPerformer::EscapeDown() { return actions::EscapeWasPressed(); }

bool ShellActionPerformer::ModifiersDown() { return actions::UserModifiersDown(); }

void ShellNoteCommands::ExecuteItem(std::uint32_t note, std::uint32_t item) {
  actions::ExecuteItem(app_.context, app_.actionQueue, note, item);
}

void ShellNoteCommands::OpenItemEditor(std::uint32_t note, std::uint32_t item, bool newEditor) {
  actions::OpenItemEditor(app_.context, note, item, newEditor);
}

void ShellNoteCommands::ToggleManagementWindow(std::uint32_t note) { shell::ToggleManagementWindow(app_, note); }

void ShellNoteCommands::CaptureToItem(std::uint32_t note) {
  (void)app_.actionQueue.QueueNumber(actions::ActionKind::CaptureToItem, note);
}

void ShellNoteCommands::CaptureToEditor(HWND edit, int limit) {
  (void)app_.actionQueue.QueueCaptureToEditor(reinterpret_cast<std::uintptr_t>(edit), limit);
}

}  // namespace vellumo::shell
