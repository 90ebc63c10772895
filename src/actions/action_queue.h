#pragma once
// ActionQueue: work paced by the 40 ms ShellTick.  Each action runs a number
// of steps, each step after its own delay in ticks; new actions go to the
// head and every action is stepped once per tick.
//
// Carried so far: opening notes by a pop-up trigger.  Typing, pasting and
// capturing join with the key-sequence player.
#include <cstdint>
#include <list>
#include <span>
#include <vector>

namespace vellumo::actions {

enum class ActionKind : std::uint32_t {
  CaptureToItem = 1,
  PasteText = 2,
  OpenByTrigger = 3,
  CaptureToEditor = 4,
  TypeKeys = 6,
  TypeChars = 7,
};

// What the actions do outside the queue; the program's windows implement
// it, tests record it.
class ActionPerformer {
 public:
  virtual ~ActionPerformer() = default;
  virtual void OpenNotesForTrigger(std::uint32_t triggerCode) = 0;
};

// Trigger codes below this are gestures, opened two ticks late so that the
// gesture's last movement does not reach the new window.
inline constexpr std::uint32_t kFirstTouchTrigger = 5;
inline constexpr std::uint32_t kProgramStartTrigger = 16;

class ActionQueue {
 public:
  explicit ActionQueue(ActionPerformer& performer) : performer_(performer) {}

  // False when the kind is not carried or the payload does not fit it;
  // nothing is queued then.
  bool QueueAction(ActionKind kind, std::span<const std::uint8_t> payload);
  // Once per tick, before anything else of the tick.
  void StepActions();
  std::size_t Size() const { return queue_.size(); }

 private:
  struct Action {
    ActionKind kind;
    std::vector<std::uint8_t> payload;
    std::int32_t remaining = 0;
    std::vector<std::int32_t> delays;  // the next step is the one at remaining - 1
  };
  // Steps still to run after this tick's step; 0 = finished.
  std::int32_t StepAction(Action& action);

  ActionPerformer& performer_;
  std::list<Action> queue_;
};

}  // namespace vellumo::actions
