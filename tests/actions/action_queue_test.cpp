#include "actions/action_queue.h"

#include <gtest/gtest.h>

#include <vector>

namespace vellumo::actions {
namespace {

struct Recorder : ActionPerformer {
  int tick = 0;
  std::vector<std::pair<int, std::uint32_t>> opened;  // (tick, code)
  void OpenNotesForTrigger(std::uint32_t code) override { opened.emplace_back(tick, code); }
};

std::vector<std::uint8_t> Code(std::uint32_t code) {
  return {static_cast<std::uint8_t>(code), static_cast<std::uint8_t>(code >> 8), static_cast<std::uint8_t>(code >> 16),
          static_cast<std::uint8_t>(code >> 24)};
}

void RunTicks(ActionQueue& queue, Recorder& recorder, int ticks) {
  for (int i = 0; i < ticks; ++i) {
    ++recorder.tick;
    queue.StepActions();
  }
}

TEST(OpenByTrigger, TouchesAndProgramStartOpenAtOnceGesturesOnTheThirdTick) {
  struct Case {
    std::uint32_t code;
    int openedAtTick;
  };
  const Case cases[] = {{1, 3}, {4, 3}, {5, 0}, {12, 0}, {16, 0}};
  for (const Case& c : cases) {
    Recorder recorder;
    ActionQueue queue(recorder);
    ASSERT_TRUE(queue.QueueAction(ActionKind::OpenByTrigger, Code(c.code)));
    RunTicks(queue, recorder, 5);
    ASSERT_EQ(recorder.opened.size(), 1u) << c.code;  // exactly once
    EXPECT_EQ(recorder.opened[0].first, c.openedAtTick) << c.code;
    EXPECT_EQ(recorder.opened[0].second, c.code);
    EXPECT_EQ(queue.Size(), 0u) << c.code;
  }
}

TEST(OpenByTrigger, ImmediateActionLeavesTheQueueOnTheNextTick) {
  Recorder recorder;
  ActionQueue queue(recorder);
  ASSERT_TRUE(queue.QueueAction(ActionKind::OpenByTrigger, Code(16)));
  EXPECT_EQ(queue.Size(), 1u);
  RunTicks(queue, recorder, 1);
  EXPECT_EQ(queue.Size(), 0u);
}

TEST(OpenByTrigger, SeveralActionsStepIndependently) {
  Recorder recorder;
  ActionQueue queue(recorder);
  ASSERT_TRUE(queue.QueueAction(ActionKind::OpenByTrigger, Code(2)));
  RunTicks(queue, recorder, 1);
  ASSERT_TRUE(queue.QueueAction(ActionKind::OpenByTrigger, Code(3)));
  RunTicks(queue, recorder, 4);
  const std::vector<std::pair<int, std::uint32_t>> expected = {{3, 2}, {4, 3}};
  EXPECT_EQ(recorder.opened, expected);
}

TEST(QueueAction, RefusesWhatItCannotCarry) {
  Recorder recorder;
  ActionQueue queue(recorder);
  EXPECT_FALSE(queue.QueueAction(ActionKind::OpenByTrigger, std::vector<std::uint8_t>{16, 0}));
  EXPECT_FALSE(queue.QueueAction(ActionKind::TypeChars, Code(0x41)));
  EXPECT_EQ(queue.Size(), 0u);
  EXPECT_TRUE(recorder.opened.empty());
}

}  // namespace
}  // namespace vellumo::actions
