#include "sync/sync_journal.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "engine_fixture.h"

namespace vellumo::sync {
namespace {

using namespace vellumo::sync::testing;

std::vector<std::string> Sorted(std::vector<std::string> v) {
  std::ranges::sort(v);
  return v;
}

TEST(SyncJournal, ReconcileKeepsWhatTheNoteStillHolds) {
  const ItemHashValue a = HashOf(Item(u"a", u"1")), b = HashOf(Item(u"b", u"2")), x = HashOf(Item(u"x", u"9"));
  struct Case {
    const char* name;
    std::vector<ItemHashValue> journal, current;
    std::vector<ItemHashValue> send, erase;
  };
  const std::vector<Case> cases = {
      {"empty journal", {}, {a, b}, {}, {}},
      {"gone item is reported", {x}, {a, b}, {x}, {x}},
      {"content still present is not reported but erased", {a}, {a, b}, {}, {a}},
      {"a record counts once", {x, x, a}, {a}, {x}, {std::min(a, x), std::max(a, x)}},
      {"empty note reports everything", {a, b}, {}, {std::min(a, b), std::max(a, b)}, {std::min(a, b), std::max(a, b)}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const JournalPlan plan = ReconcileJournal(c.journal, c.current);
    EXPECT_EQ(plan.sendDeleteHash, c.send);
    EXPECT_EQ(plan.erase, c.erase);
  }
}

// The hooks for one note (5) in each sync state.  The model shows the note
// after the change, as the item operations call the hooks.
TEST(SyncJournal, LocalChangeHooks) {
  const StoredItem a = Item(u"a", u"1"), a2 = Item(u"a", u"one"), b = Item(u"b", u"2"), c = Item(u"c", u"3"),
                   x = Item(u"x", u"gone while offline");
  HashNames names;
  names.Name(a, "a");
  names.Name(a2, "a2");
  names.Name(b, "b");
  names.Name(c, "c");
  names.Name(x, "x");

  enum class Hook { kCreated, kUpdated, kDeleted };
  enum class State { kLive, kPending, kFailed, kNone };
  struct Case {
    const char* name;
    State state;
    Hook hook;
    std::vector<LocalItem> after;         // the note as it is now
    std::vector<ItemHashValue> journal;   // records written before
    std::uint32_t itemId;
    StoredItem before, now;
    std::vector<std::string> expected;    // in order
  };
  const std::vector<Case> cases = {
      {"create, live", State::kLive, Hook::kCreated, {{1, a}, {3, c}}, {}, 3, {}, c, {"Announce 5/3 c"}},
      {"create, pending", State::kPending, Hook::kCreated, {{3, c}}, {}, 3, {}, c, {}},
      {"create, not synced", State::kNone, Hook::kCreated, {{3, c}}, {}, 3, {}, c, {}},
      {"edit, live", State::kLive, Hook::kUpdated, {{1, a2}, {2, b}}, {}, 1, a, a2,
       {"Announce 5/1 a2", "journal+ 5 a", "DeleteHash 5 a", "journal- 5 a"}},
      {"edit into a copy of another item keeps the old content remotely", State::kLive, Hook::kUpdated,
       {{1, b}, {2, a}}, {}, 1, a, b, {"Announce 5/1 b", "journal+ 5 a", "journal- 5 a"}},
      {"edit that changes nothing", State::kLive, Hook::kUpdated, {{1, a}}, {}, 1, a, a,
       {"Announce 5/1 a", "journal+ 5 a", "journal- 5 a"}},
      {"edit, pending: journal only", State::kPending, Hook::kUpdated, {{1, a2}}, {}, 1, a, a2, {"journal+ 5 a"}},
      {"edit, failed registration: journal only", State::kFailed, Hook::kUpdated, {{1, a2}}, {}, 1, a, a2,
       {"journal+ 5 a"}},
      {"edit, not synced: nothing", State::kNone, Hook::kUpdated, {{1, a2}}, {}, 1, a, a2, {}},
      {"delete, live", State::kLive, Hook::kDeleted, {{2, b}}, {}, 0, a, {}, {"journal+ 5 a", "DeleteHash 5 a", "journal- 5 a"}},
      {"delete one of two copies", State::kLive, Hook::kDeleted, {{2, a}}, {}, 0, a, {}, {"journal+ 5 a", "journal- 5 a"}},
      {"delete, pending", State::kPending, Hook::kDeleted, {{2, b}}, {}, 0, a, {}, {"journal+ 5 a"}},
      {"delete, not synced", State::kNone, Hook::kDeleted, {}, {}, 0, a, {}, {}},
  };
  for (const auto& tc : cases) {
    SCOPED_TRACE(tc.name);
    SyncList list;
    list.AddNewest({9, U16(u"pass-word"), U16(u"other"), kEntryLive});
    const int status = tc.state == State::kLive ? kEntryLive : tc.state == State::kPending ? kEntryPending : 3;
    if (tc.state != State::kNone) list.AddNewest({5, U16(u"pass-word"), U16(u"id"), status});
    TableItems items;
    items.notes[5] = tc.after;
    items.journals[5] = tc.journal;
    ActionList actions;
    if (tc.hook == Hook::kCreated) actions = PlanItemCreated(list, 5, tc.itemId, tc.now.Fields());
    if (tc.hook == Hook::kUpdated) actions = PlanItemUpdated(list, items, 5, tc.itemId, tc.before.Fields(), tc.now.Fields());
    if (tc.hook == Hook::kDeleted) actions = PlanItemDeleted(list, items, 5, tc.before.Fields());
    EXPECT_EQ(Render(actions, names), tc.expected);
  }
}

// Deletions journaled while the note was not live go out with the next live
// change, together with that change's own.
TEST(SyncJournal, LiveChangeReportsDeletionsJournaledEarlier) {
  const StoredItem a = Item(u"a", u"1"), b = Item(u"b", u"2"), x = Item(u"x", u"9"), y = Item(u"y", u"8");
  HashNames names;
  names.Name(a, "a");
  names.Name(b, "b");
  names.Name(x, "x");
  names.Name(y, "y");
  SyncList list;
  list.AddNewest({5, U16(u"pass-word"), U16(u"id"), kEntryLive});
  TableItems items;
  items.notes[5] = {{2, b}, {7, y}};
  items.journals[5] = {HashOf(x), HashOf(y)};  // y was deleted once, then came back

  const auto actions = PlanItemDeleted(list, items, 5, a.Fields());
  const auto rendered = Render(actions, names);
  ASSERT_EQ(rendered.size(), 6u);
  EXPECT_EQ(rendered[0], "journal+ 5 a");
  EXPECT_EQ(Sorted({rendered[1], rendered[2]}), Sorted({"DeleteHash 5 a", "DeleteHash 5 x"}));
  EXPECT_EQ(Sorted({rendered[3], rendered[4], rendered[5]}), Sorted({"journal- 5 a", "journal- 5 x", "journal- 5 y"}));
}

TEST(SyncJournal, DeletionsDroppedAtAReconnectGoBackIntoTheJournal) {
  const StoredItem a = Item(u"a", u"1"), b = Item(u"b", u"2");
  HashNames names;
  names.Name(a, "a");
  names.Name(b, "b");
  const auto build = [](const ClientMessage& m) {
    Frame f;
    EXPECT_EQ(BuildFrame(m, f), FrameError::kOk);
    return f;
  };
  Frame cut = build(DeleteHash{3, HashOf(b)});
  cut.resize(20);  // not a frame: skipped
  const std::vector<Frame> dropped = {build(Announce{5, 1, HashOf(b)}), build(DeleteHash{5, HashOf(a)}),
                                      build(ListEnd{5, 2}), build(DeleteHash{7, HashOf(b)}), cut};
  EXPECT_EQ(Render(RejournalUnsent(dropped), names), (std::vector<std::string>{"journal+ 5 a", "journal+ 7 b"}));
}

}  // namespace
}  // namespace vellumo::sync
