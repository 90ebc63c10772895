#include "actions/action_queue.h"

#include "platform/bytes.h"

namespace vellumo::actions {

bool ActionQueue::QueueAction(ActionKind kind, std::span<const std::uint8_t> payload) {
  if (kind != ActionKind::OpenByTrigger || payload.size() != 4) return false;
  Action action{kind, std::vector<std::uint8_t>(payload.begin(), payload.end()), 0, {}};
  const std::uint32_t code = LoadU32LE(payload.data());
  if (code < kFirstTouchTrigger) {
    action.remaining = 1;
    action.delays = {2};
  } else {
    performer_.OpenNotesForTrigger(code);
  }
  queue_.push_front(std::move(action));
  return true;
}

void ActionQueue::StepActions() {
  // Opening a note may queue actions of its own; they go to the head and
  // wait for the next tick.
  for (auto it = queue_.begin(); it != queue_.end();) {
    if (StepAction(*it) == 0) {
      it = queue_.erase(it);
    } else {
      ++it;
    }
  }
}

std::int32_t ActionQueue::StepAction(Action& action) {
  if (action.remaining <= 0) return 0;
  std::int32_t& delay = action.delays[static_cast<std::size_t>(action.remaining - 1)];
  if (delay > 0) {
    --delay;
    return action.remaining;
  }
  --delay;
  --action.remaining;
  if (action.kind == ActionKind::OpenByTrigger) performer_.OpenNotesForTrigger(LoadU32LE(action.payload.data()));
  return action.remaining;
}

}  // namespace vellumo::actions
