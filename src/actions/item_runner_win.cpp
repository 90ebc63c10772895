#include <windows.h>

#include <algorithm>
#include <type_traits>
#include <variant>

#include "actions/capture_title.h"
#include "actions/clipboard.h"
#include "actions/command_dispatch.h"
#include "actions/item_runner.h"
#include "actions/launch.h"
#include "actions/run_target.h"
#include "model/items.h"
#include "model/notes.h"
#include "notes/note_window.h"
#include "resources/resource.h"
#include "resources/window_messages.h"

namespace vellumo::actions {

namespace {

void TypeDecrypted(notes::ProgramContext& context, ActionQueue& queue, const command::TypeSecret& secret) {
  if (!context.protection || !context.protection->IsUnlocked()) {
    // Nothing is typed: the click asks for the password, and the next
    // click after unlocking types.
    if (context.mainWindow) ::PostMessageW(context.mainWindow, WM_COMMAND, IDM_PASSWORD, 0);
    return;
  }
  std::u16string plain = context.protection->DecryptBody(secret.cipherBody);
  (void)queue.QueueText(secret.kind, CutAtComment(plain));
  std::fill(plain.begin(), plain.end(), u'\0');
}

}  // namespace

void OpenItemEditor(notes::ProgramContext& context, std::uint32_t note, std::uint32_t item, bool newEditor) {
  if (!context.mainWindow) return;
  ::PostMessageW(context.mainWindow, WM_OPEN_ITEM_EDITOR, note,
                 static_cast<LPARAM>(item) | (newEditor ? kNewEditorFlag : 0));
}

void ExecuteItem(notes::ProgramContext& context, ActionQueue& queue, std::uint32_t note, std::uint32_t item) {
  if (!context.database) return;
  std::u16string content = model::GetItemContent(*context.database, note, item);
  Command decided = DecideItemCommand(content);
  std::fill(content.begin(), content.end(), u'\0');
  std::visit(
      [&](auto& c) {
        using C = std::decay_t<decltype(c)>;
        if constexpr (std::is_same_v<C, command::Edit>) {
          OpenItemEditor(context, note, item, false);
        } else if constexpr (std::is_same_v<C, command::OpenNotes>) {
          const std::uint32_t source = c.withParent ? note : 0;
          for (const std::uint32_t id : c.noteIds) notes::OpenNoteFrom(context, id, source);
        } else if constexpr (std::is_same_v<C, command::CommandLine>) {
          (void)RunCommandLine(c.commandLine);
        } else if constexpr (std::is_same_v<C, command::Run>) {
          RunTarget(queue, c.text);
        } else if constexpr (std::is_same_v<C, command::Paste>) {
          (void)queue.QueueText(ActionKind::PasteText, c.text);
        } else if constexpr (std::is_same_v<C, command::Type>) {
          (void)queue.QueueText(c.kind, c.sequence);
          std::fill(c.sequence.begin(), c.sequence.end(), u'\0');
        } else if constexpr (std::is_same_v<C, command::TypeSecret>) {
          TypeDecrypted(context, queue, c);
        }
      },
      decided);
}

void MakeRunItem(notes::ProgramContext& context, std::uint32_t note, std::u16string_view path) {
  if (!context.items || path.empty()) return;
  (void)context.items->CreateItem(note, RunItemTitle(path), RunItemContent(path), true);
}

void FinishCaptureToItem(notes::ProgramContext& context, std::uint32_t note) {
  if (!context.database || !context.items) return;
  const ClipboardText clipboard = ReadClipboardText(context.mainWindow, kMaxCaptureChars);
  const std::uint32_t counter =
      model::GetNoteU32(*context.database, note, model::note_field::kItemIdCounter, 0);
  const CapturedItem captured = MakeCapturedItem(counter, clipboard.text, clipboard.cut);
  const bool failed = context.items->CreateItem(note, captured.title, captured.content, true) == 0;
  if (const std::optional<UserMessage> message = CaptureOutcomeMessage(failed, captured.cut); message && context.messages)
    context.messages->ShowMessage(message->text, message->caption);
  notes::NotifyNoteChanged(context, note);
}

void FinishCaptureToEditor(HWND clipboardOwner, HWND edit, std::int32_t limit) {
  if (limit <= 0 || !::IsWindow(edit)) return;
  const std::size_t capacity = static_cast<std::size_t>(std::min<std::int32_t>(limit, 30720));
  std::u16string text = ReadClipboardText(clipboardOwner, capacity).text;
  text += u"\r\n\r\n";
  DWORD start = 0, end = 0;
  ::SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  // Collapsed to the end of the selection: the capture adds, it never replaces.
  ::SendMessageW(edit, EM_SETSEL, end, end);
  const std::wstring wide(text.begin(), text.end());
  ::SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(wide.c_str()));
  ::SendMessageW(edit, EM_SETSEL, end, end + static_cast<DWORD>(wide.size()));
  ::SetFocus(edit);
}

}  // namespace vellumo::actions
