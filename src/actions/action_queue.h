#pragma once
// ActionQueue: work paced by the 40 ms ShellTick, so that the program on the
// other end of a paste, a copy or a typed sequence has time to react.  Each
// action runs a number of steps, each step after its own delay in ticks; new
// actions go to the head and every action is stepped once per tick.
//
// Payloads, as QueueAction takes them (numbers little-endian):
//   CaptureToItem    note id (4 bytes)
//   PasteText        the text, UTF-16LE
//   OpenByTrigger    trigger code (4 bytes)
//   CaptureToEditor  edit control handle (8 bytes), then its limit in units (4)
//   TypeKeys/Chars   the key sequence, UTF-16LE; kept masked (key_player.h)
#include <cstdint>
#include <list>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "actions/key_player.h"

namespace vellumo::actions {

enum class ActionKind : std::uint32_t {
  CaptureToItem = 1,
  PasteText = 2,
  OpenByTrigger = 3,
  CaptureToEditor = 4,
  TypeKeys = 6,
  TypeChars = 7,
};

// What the actions do outside the queue; the program implements it on
// Win32, tests record it.
class ActionPerformer {
 public:
  virtual ~ActionPerformer() = default;
  virtual void OpenNotesForTrigger(std::uint32_t triggerCode) = 0;
  // Ctrl + the key, as one input: the focused program copies or pastes.
  virtual void SendCtrlChord(std::uint8_t vk) = 0;
  virtual void SetClipboardText(std::u16string_view text) = 0;
  // The capture's last step: the clipboard into a new item of the note.
  virtual void CaptureToItem(std::uint32_t note) = 0;
  // The clipboard into an edit control of the item editor.
  virtual void CaptureToEditor(std::uint64_t editControl, std::int32_t limit) = 0;
  // Escape is down, or went down since the last call: read once a tick.
  virtual bool EscapeDown() = 0;
  // Ctrl, Alt, Shift or Win is held by the user.
  virtual bool ModifiersDown() = 0;
  virtual KeySink& Keys() = 0;
};

// Trigger codes below this are gestures, opened two ticks late so that the
// gesture's last movement does not reach the new window.
inline constexpr std::uint32_t kFirstTouchTrigger = 5;
inline constexpr std::uint32_t kProgramStartTrigger = 16;

// Typing waits, before its first unit, for the user to let go of the
// modifiers still held from the click that started it; at most this many
// ticks (1 s), then it types regardless.
inline constexpr int kModifierWaitTicks = 25;

inline constexpr std::uint8_t kVkCopyKey = 'C';
inline constexpr std::uint8_t kVkPasteKey = 'V';

class ActionQueue {
 public:
  explicit ActionQueue(ActionPerformer& performer) : performer_(performer) {}

  // False when the payload does not fit the kind; nothing is queued then.
  bool QueueAction(ActionKind kind, std::span<const std::uint8_t> payload);
  // Typed forms of the same.
  bool QueueText(ActionKind kind, std::u16string_view text);
  bool QueueNumber(ActionKind kind, std::uint32_t value);
  bool QueueCaptureToEditor(std::uint64_t editControl, std::int32_t limit);

  // Once per tick, before anything else of the tick.  A step that shows a
  // message box runs a modal loop whose ticks come back here: they are
  // skipped until that step has returned.
  void StepActions();
  std::size_t Size() const { return queue_.size(); }

 private:
  struct Action {
    ActionKind kind;
    std::vector<std::uint8_t> payload;  // empty for typing: the player keeps the sequence
    std::int32_t remaining = 0;
    std::vector<std::int32_t> delays;  // the next step is the one at remaining - 1
    std::optional<KeySequencePlayer> typing;
    int modifierWait = 0;
  };
  // Steps still to run after this tick's step; 0 = finished.
  std::int32_t StepAction(Action& action, bool escapeDown);
  std::int32_t StepTyping(Action& action, bool escapeDown);

  ActionPerformer& performer_;
  std::list<Action> queue_;
  bool stepping_ = false;
};

}  // namespace vellumo::actions
