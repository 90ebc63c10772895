#include "actions/action_queue.h"

#include <algorithm>

#include "platform/bytes.h"
#include "platform/utf16_bytes.h"

namespace vellumo::actions {

namespace {

bool IsTyping(ActionKind kind) { return kind == ActionKind::TypeKeys || kind == ActionKind::TypeChars; }

}  // namespace

bool ActionQueue::QueueAction(ActionKind kind, std::span<const std::uint8_t> payload) {
  Action action{kind, {}, 0, {}, std::nullopt, 0};
  switch (kind) {
    case ActionKind::CaptureToItem:
      if (payload.size() != 4) return false;
      action.payload.assign(payload.begin(), payload.end());
      action.remaining = 1;
      action.delays = {2};
      performer_.SendCtrlChord(kVkCopyKey);
      break;
    case ActionKind::PasteText: {
      if (payload.size() % 2 != 0) return false;
      // The text is needed only now: it goes to the clipboard and the
      // action keeps nothing of it.
      const std::u16string text = Utf16FromBytes(payload);
      performer_.SetClipboardText(text);
      action.remaining = 3;
      action.delays = {0, 0, 0};
      break;
    }
    case ActionKind::OpenByTrigger: {
      if (payload.size() != 4) return false;
      action.payload.assign(payload.begin(), payload.end());
      const std::uint32_t code = LoadU32LE(payload.data());
      if (code < kFirstTouchTrigger) {
        action.remaining = 1;
        action.delays = {2};
      } else {
        performer_.OpenNotesForTrigger(code);
      }
      break;
    }
    case ActionKind::CaptureToEditor:
      if (payload.size() != 12) return false;
      action.payload.assign(payload.begin(), payload.end());
      action.remaining = 1;
      action.delays = {2};
      performer_.SendCtrlChord(kVkCopyKey);
      break;
    case ActionKind::TypeKeys:
    case ActionKind::TypeChars: {
      if (payload.size() % 2 != 0) return false;
      std::u16string sequence = Utf16FromBytes(payload);
      action.typing.emplace(kind == ActionKind::TypeKeys ? TypingMode::Keys : TypingMode::Chars, sequence);
      std::fill(sequence.begin(), sequence.end(), u'\0');
      action.remaining = static_cast<std::int32_t>(action.typing->Remaining());
      // A press of Escape from before this sequence must not stop it.
      if (action.remaining > 0) (void)performer_.EscapeDown();
      break;
    }
    default:
      return false;
  }
  queue_.push_front(std::move(action));
  return true;
}

bool ActionQueue::QueueText(ActionKind kind, std::u16string_view text) {
  std::vector<std::uint8_t> bytes = Utf16ToBytes(text);
  const bool queued = QueueAction(kind, bytes);
  std::fill(bytes.begin(), bytes.end(), std::uint8_t{0});
  return queued;
}

bool ActionQueue::QueueNumber(ActionKind kind, std::uint32_t value) {
  std::uint8_t bytes[4];
  StoreU32LE(bytes, value);
  return QueueAction(kind, bytes);
}

bool ActionQueue::QueueCaptureToEditor(std::uint64_t editControl, std::int32_t limit) {
  std::uint8_t bytes[12];
  StoreU64LE(bytes, editControl);
  StoreU32LE(bytes + 8, static_cast<std::uint32_t>(limit));
  return QueueAction(ActionKind::CaptureToEditor, bytes);
}

void ActionQueue::StepActions() {
  if (stepping_) return;
  stepping_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{stepping_};
  // Escape is read once for the tick, so that every typing action sees the
  // same answer and all of them stop together.
  const bool anyTyping =
      std::any_of(queue_.begin(), queue_.end(), [](const Action& a) { return a.typing.has_value(); });
  const bool escapeDown = anyTyping && performer_.EscapeDown();
  // Opening a note may queue actions of their own; they go to the head and
  // wait for the next tick.
  for (auto it = queue_.begin(); it != queue_.end();) {
    if (StepAction(*it, escapeDown) == 0) {
      it = queue_.erase(it);
    } else {
      ++it;
    }
  }
}

std::int32_t ActionQueue::StepAction(Action& action, bool escapeDown) {
  if (action.remaining <= 0) return 0;
  if (IsTyping(action.kind)) return StepTyping(action, escapeDown);
  std::int32_t& delay = action.delays[static_cast<std::size_t>(action.remaining - 1)];
  if (delay > 0) {
    --delay;
    return action.remaining;
  }
  --delay;
  --action.remaining;
  switch (action.kind) {
    case ActionKind::CaptureToItem:
      performer_.CaptureToItem(LoadU32LE(action.payload.data()));
      break;
    case ActionKind::CaptureToEditor: {
      performer_.CaptureToEditor(LoadU64LE(action.payload.data()),
                                 static_cast<std::int32_t>(LoadU32LE(action.payload.data() + 8)));
      break;
    }
    case ActionKind::PasteText:
      if (action.remaining == 2) performer_.SendCtrlChord(kVkPasteKey);
      break;
    case ActionKind::OpenByTrigger:
      performer_.OpenNotesForTrigger(LoadU32LE(action.payload.data()));
      break;
    default:
      break;
  }
  return action.remaining;
}

std::int32_t ActionQueue::StepTyping(Action& action, bool escapeDown) {
  KeySequencePlayer& player = *action.typing;
  KeySink& keys = performer_.Keys();
  if (escapeDown) {
    player.Stop(keys);
  } else if (player.Remaining() == static_cast<std::size_t>(action.remaining) && action.modifierWait >= 0 &&
             action.modifierWait < kModifierWaitTicks && performer_.ModifiersDown()) {
    // Ctrl or Shift still held from the click would turn the first
    // characters into shortcuts.
    ++action.modifierWait;
    return action.remaining;
  } else {
    action.modifierWait = -1;  // started: the sequence's own modifiers are its business
    (void)player.Step(keys);
  }
  action.remaining = static_cast<std::int32_t>(player.Remaining());
  return action.remaining;
}

}  // namespace vellumo::actions
