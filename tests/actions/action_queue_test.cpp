#include "actions/action_queue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vellumo::actions {
namespace {

// Records what the queue asks of the program, tick by tick, as one line of
// events: "3:paste-chord" = Ctrl+V on tick 3.
struct Recorder : ActionPerformer, KeySink {
  int tick = 0;
  std::vector<std::string> events;
  std::vector<std::pair<int, std::uint32_t>> opened;  // (tick, code)
  int escapeAtTick = -1;  // EscapeDown answers true on this tick
  int escapeReads = 0;
  int modifiersUntilTick = 0;  // ModifiersDown answers true before this tick

  void Add(const std::string& what) { events.push_back(std::to_string(tick) + ":" + what); }
  void OpenNotesForTrigger(std::uint32_t code) override { opened.emplace_back(tick, code); }
  void SendCtrlChord(std::uint8_t vk) override { Add(std::string("ctrl+") + static_cast<char>(vk)); }
  void SetClipboardText(std::u16string_view text) override {
    Add("clipboard=" + std::string(text.begin(), text.end()));
  }
  void CaptureToItem(std::uint32_t note) override { Add("capture-item " + std::to_string(note)); }
  void CaptureToEditor(std::uint64_t control, std::int32_t limit) override {
    Add("capture-editor " + std::to_string(control) + " " + std::to_string(limit));
  }
  bool EscapeDown() override {
    ++escapeReads;
    return tick == escapeAtTick;
  }
  bool ModifiersDown() override { return tick < modifiersUntilTick; }
  KeySink& Keys() override { return *this; }

  void SendUnicodeChar(char16_t unit) override { Add(std::string(1, static_cast<char>(unit))); }
  void TypeKeyForChar(char16_t unit) override { Add("key " + std::string(1, static_cast<char>(unit))); }
  void PressKey(std::uint8_t vk) override { Add("press " + std::to_string(vk)); }
  void KeyDown(std::uint8_t vk) override { Add("down " + std::to_string(vk)); }
  void KeyUp(std::uint8_t vk) override { Add("up " + std::to_string(vk)); }
  void Pause(std::uint32_t ms) override { Add("pause " + std::to_string(ms)); }
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

using Events = std::vector<std::string>;

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

TEST(ClipboardActions, PasteSetsTheClipboardAtOnceSendsCtrlVOnTheFirstTickAndEndsOnTheThird) {
  Recorder recorder;
  ActionQueue queue(recorder);
  ASSERT_TRUE(queue.QueueText(ActionKind::PasteText, u"a<>b"));
  RunTicks(queue, recorder, 2);
  EXPECT_EQ(queue.Size(), 1u);
  RunTicks(queue, recorder, 1);
  EXPECT_EQ(queue.Size(), 0u);
  EXPECT_EQ(recorder.events, (Events{"0:clipboard=a<>b", "1:ctrl+V"}));
}

TEST(ClipboardActions, CapturesCopyAtOnceAndReadTheClipboardTwoTicksLater) {
  Recorder recorder;
  ActionQueue queue(recorder);
  ASSERT_TRUE(queue.QueueNumber(ActionKind::CaptureToItem, 3));
  RunTicks(queue, recorder, 1);
  ASSERT_TRUE(queue.QueueCaptureToEditor(0x1234567890ull, 5000));
  RunTicks(queue, recorder, 5);
  EXPECT_EQ(recorder.events,
            (Events{"0:ctrl+C", "1:ctrl+C", "3:capture-item 3", "4:capture-editor 78187493520 5000"}));
  EXPECT_EQ(queue.Size(), 0u);
}

TEST(Typing, OneUnitOrOneTokenPerTickInTheModeOfTheKind) {
  Recorder recorder;
  ActionQueue queue(recorder);
  ASSERT_TRUE(queue.QueueText(ActionKind::TypeKeys, u"a<0D>b"));
  RunTicks(queue, recorder, 2);
  EXPECT_EQ(queue.Size(), 1u);
  RunTicks(queue, recorder, 2);
  EXPECT_EQ(queue.Size(), 0u);
  EXPECT_EQ(recorder.events, (Events{"1:key a", "2:press 13", "3:key b"}));
}

TEST(Typing, TwoSequencesTypeInterleavedNewestFirst) {
  Recorder recorder;
  ActionQueue queue(recorder);
  ASSERT_TRUE(queue.QueueText(ActionKind::TypeChars, u"ab"));
  ASSERT_TRUE(queue.QueueText(ActionKind::TypeChars, u"xy"));
  RunTicks(queue, recorder, 3);
  EXPECT_EQ(recorder.events, (Events{"1:x", "1:a", "2:y", "2:b"}));
}

TEST(Typing, EscapeStopsEverySequenceOnTheSameTickAndPutsItsModifiersUp) {
  Recorder recorder;
  ActionQueue queue(recorder);
  ASSERT_TRUE(queue.QueueText(ActionKind::TypeChars, u"<cd>abc"));
  ASSERT_TRUE(queue.QueueText(ActionKind::TypeKeys, u"xyz"));
  recorder.escapeReads = 0;
  recorder.escapeAtTick = 3;
  RunTicks(queue, recorder, 5);
  EXPECT_EQ(recorder.events, (Events{"1:key x", "1:down 17", "2:key y", "2:a", "3:up 17"}));
  EXPECT_EQ(queue.Size(), 0u);
  // Read once a tick while typing goes on, not once per action: a key's
  // "pressed since" answer is given only once.
  EXPECT_EQ(recorder.escapeReads, 3);
}

TEST(Typing, AnEscapeFromBeforeTheSequenceIsForgottenWhenItIsQueued) {
  Recorder recorder;
  ActionQueue queue(recorder);
  recorder.escapeAtTick = 0;  // the press is still on record when the item is clicked
  ASSERT_TRUE(queue.QueueText(ActionKind::TypeChars, u"ab"));
  EXPECT_EQ(recorder.escapeReads, 1);
  RunTicks(queue, recorder, 2);
  EXPECT_EQ(recorder.events, (Events{"1:a", "2:b"}));
}

TEST(Typing, WaitsForHeldModifiersBeforeTheFirstUnitForAtMostOneSecond) {
  struct Case {
    int modifiersUntilTick;
    int firstUnitTick;
  };
  // Released on tick 4: typing starts then.  Never released: it starts
  // after the 25 ticks of waiting.
  for (const Case c : {Case{0, 1}, Case{4, 4}, Case{1000, 26}}) {
    Recorder recorder;
    ActionQueue queue(recorder);
    recorder.modifiersUntilTick = c.modifiersUntilTick;
    ASSERT_TRUE(queue.QueueText(ActionKind::TypeChars, u"ab"));
    RunTicks(queue, recorder, 40);
    ASSERT_EQ(recorder.events.size(), 2u);
    EXPECT_EQ(recorder.events[0], std::to_string(c.firstUnitTick) + ":a");
    // Once started, held modifiers no longer hold it up.
    EXPECT_EQ(recorder.events[1], std::to_string(c.firstUnitTick + 1) + ":b");
  }
}

TEST(StepActions, ATickFromInsideAStepIsSkipped) {
  // A capture that shows a message box runs a modal loop, and the loop's
  // ticks call StepActions again while the outer step is still running.
  struct Reentering : Recorder {
    ActionQueue* queue = nullptr;
    void CaptureToItem(std::uint32_t note) override {
      Recorder::CaptureToItem(note);
      queue->StepActions();
      queue->StepActions();
    }
  } recorder;
  ActionQueue queue(recorder);
  recorder.queue = &queue;
  ASSERT_TRUE(queue.QueueNumber(ActionKind::CaptureToItem, 3));
  ASSERT_TRUE(queue.QueueText(ActionKind::TypeChars, u"abcdef"));
  RunTicks(queue, recorder, 3);
  // The sequence typed one unit a tick, none from the nested calls.
  EXPECT_EQ(recorder.events, (Events{"0:ctrl+C", "1:a", "2:b", "3:c", "3:capture-item 3"}));
  EXPECT_EQ(queue.Size(), 1u);
}

TEST(QueueAction, RefusesWhatItCannotCarry) {
  Recorder recorder;
  ActionQueue queue(recorder);
  EXPECT_FALSE(queue.QueueAction(ActionKind::OpenByTrigger, std::vector<std::uint8_t>{16, 0}));
  EXPECT_FALSE(queue.QueueAction(ActionKind::CaptureToItem, std::vector<std::uint8_t>{3, 0, 0}));
  EXPECT_FALSE(queue.QueueAction(ActionKind::CaptureToEditor, Code(1)));
  EXPECT_FALSE(queue.QueueAction(ActionKind::TypeChars, std::vector<std::uint8_t>{0x41, 0, 0x42}));
  EXPECT_FALSE(queue.QueueAction(ActionKind::PasteText, std::vector<std::uint8_t>{0x41}));
  EXPECT_FALSE(queue.QueueAction(static_cast<ActionKind>(5), Code(1)));
  EXPECT_EQ(queue.Size(), 0u);
  EXPECT_TRUE(recorder.opened.empty());
  EXPECT_TRUE(recorder.events.empty());
}

TEST(QueueAction, AnEmptySequenceEndsOnItsFirstTick) {
  Recorder recorder;
  ActionQueue queue(recorder);
  ASSERT_TRUE(queue.QueueText(ActionKind::TypeChars, u""));
  RunTicks(queue, recorder, 1);
  EXPECT_EQ(queue.Size(), 0u);
  EXPECT_TRUE(recorder.events.empty());
}

}  // namespace
}  // namespace vellumo::actions
