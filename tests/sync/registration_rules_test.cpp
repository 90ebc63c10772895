#include "sync/registration_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sync/frames.h"

namespace vellumo::sync {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes U16(std::u16string_view s) {
  Bytes b;
  for (char16_t c : s) {
    b.push_back(static_cast<std::uint8_t>(c));
    b.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  return b;
}

TEST(RegistrationRules, PasswordRule) {
  struct Case {
    Bytes password;
    bool passes;
  };
  const std::vector<Case> cases = {
      {U16(u"abcd123!"), true},              // 8 characters, one symbol
      {U16(u"abcd1234"), false},             // letters and digits only
      {U16(u"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcdefghijklmnopqrstuvwxyz"), false},
      {U16(u"a!c"), false},                  // too short
      {U16(u"abc!efg"), false},              // 7
      {U16(std::u16string(64, u'x') + u""), false},
      {U16(std::u16string(63, u'x') + u"-"), true},   // 64
      {U16(std::u16string(64, u'x') + u"-"), false},  // 65
      {U16(u"密码密码密码密码"), true},           // non-ASCII counts as "not 0-9a-zA-Z"
      {U16(u"abcdefg "), true},              // a space counts too
      {U16(u"abcdefg\u0130"), true},         // a letter outside ASCII is not alphanumeric here
      {[] { Bytes b = U16(u"abcdefg!"); b.push_back('x'); return b; }(), false},  // not whole UTF-16
      {Bytes{}, false},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(PasswordPassesRule(cases[i].password), cases[i].passes) << "case " << i;
  }
}

// One table over single registrations into a list that already holds note 9
// under sync ID "shared".
TEST(RegistrationRules, OneNote) {
  const Bytes good = U16(u"pass-word");
  struct Case {
    const char* name;
    Bytes syncId;
    Bytes password;
    Registration outcome;
    std::uint16_t error;
  };
  const std::vector<Case> cases = {
      {"registers", U16(u"mine"), good, Registration::kRegistered, 0},
      {"empty sync ID", {}, good, Registration::kNoSyncId, 0},
      {"160 bytes is allowed", Bytes(160, 'a'), good, Registration::kRegistered, 0},
      {"161 bytes is too long", Bytes(161, 'a'), good, Registration::kSyncIdTooLong, 0},
      {"paused", U16(u"!mine"), good, Registration::kSyncPaused, 0},
      {"'!' later is not a pause", U16(u"mi!ne"), good, Registration::kRegistered, 0},
      {"paused wins over a bad password", U16(u"!mine"), U16(u"abc"), Registration::kSyncPaused, 0},
      {"no password", U16(u"mine"), {}, Registration::kNoPassword, 0},
      {"password rule: error 1", U16(u"mine"), U16(u"abcd1234"), Registration::kPasswordRule, 1},
      {"same sync ID as note 9: error 2", U16(u"shared"), good, Registration::kSyncIdInUse, 2},
      {"bad password is reported before the clash", U16(u"shared"), U16(u"short"), Registration::kPasswordRule, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SyncList list;
    list.AddNewest(SyncEntry{9, good, U16(u"shared"), kEntryLive});
    const RegistrationResult r = RegisterNote(list, {3, c.syncId, c.password});
    EXPECT_EQ(r.noteId, 3u);
    EXPECT_EQ(r.outcome, c.outcome);
    EXPECT_EQ(r.errorCode, c.error);
    const SyncEntry* e = list.Find(3);
    ASSERT_EQ(e != nullptr, c.outcome == Registration::kRegistered);
    if (e != nullptr) {
      EXPECT_EQ(e->status, kEntryPending);
      EXPECT_EQ(e->password, c.password);
      EXPECT_EQ(list.Entries().front().noteId, 3u) << "newest first";
    }
    ASSERT_NE(list.Find(9), nullptr) << "another note's entry is never touched";
    EXPECT_EQ(list.Find(9)->status, kEntryLive);
  }
}

TEST(RegistrationRules, OddSyncIdIsPaddedAndAPausedOneByteIdCounts) {
  SyncList list;
  EXPECT_EQ(RegisterNote(list, {1, Bytes{'a', 0, 'b'}, U16(u"pass-word")}).outcome, Registration::kRegistered);
  EXPECT_EQ(list.Find(1)->syncId, (Bytes{'a', 0, 'b', 0}));
  EXPECT_EQ(RegisterNote(list, {2, Bytes{'!'}, U16(u"pass-word")}).outcome, Registration::kSyncPaused);
  // 159 bytes pads to 160, which a Register frame can carry.
  EXPECT_EQ(RegisterNote(list, {3, Bytes(159, 'c'), U16(u"pass-word")}).outcome, Registration::kRegistered);
  EXPECT_EQ(list.Find(3)->syncId.size(), 160u);
}

// A note that stops qualifying loses its entry, so it neither journals nor
// sends anything any more; re-registering replaces the entry with fresh
// settings and a pending status.
TEST(RegistrationRules, ReRegisteringReplacesOrDropsTheNotesEntry) {
  SyncList list;
  ASSERT_EQ(RegisterNote(list, {4, U16(u"id"), U16(u"old-pass")}).outcome, Registration::kRegistered);
  list.SetStatus(4, kEntryLive);

  EXPECT_EQ(RegisterNote(list, {4, U16(u"id"), U16(u"new-pass")}).outcome, Registration::kRegistered);
  EXPECT_EQ(list.Find(4)->password, U16(u"new-pass"));
  EXPECT_EQ(list.Find(4)->status, kEntryPending);
  EXPECT_EQ(list.Entries().size(), 1u);

  const std::vector<NoteSyncSettings> stops = {
      {4, U16(u"!id"), U16(u"new-pass")}, {4, {}, U16(u"new-pass")}, {4, U16(u"id"), {}}, {4, U16(u"id"), U16(u"weakpass")}};
  for (const auto& s : stops) {
    RegisterNote(list, {4, U16(u"id"), U16(u"new-pass")});
    RegisterNote(list, s);
    EXPECT_EQ(list.Find(4), nullptr);
  }
}

// Two notes under one sync ID: the one registered second gets error 2, and
// registering everything again (as after every reconnect) keeps it that way
// whatever the key order.
TEST(RegistrationRules, DuplicateSyncIdStaysWithTheFirstHolder) {
  const Bytes pw = U16(u"pass-word");
  SyncList list;
  // Note 7 was registered alone; later note 2 gets the same ID.
  ASSERT_EQ(RegisterNote(list, {7, U16(u"same"), pw}).outcome, Registration::kRegistered);
  EXPECT_EQ(RegisterNote(list, {2, U16(u"same"), pw}).errorCode, kSyncErrorIdInUse);

  list.MarkAllPending();
  const std::vector<NoteSyncSettings> all = {
      {2, U16(u"same"), pw}, {5, U16(u"other"), pw}, {7, U16(u"same"), pw}, {8, U16(u"!same"), pw}};
  const auto results = RegisterAllNotes(list, all);
  ASSERT_EQ(results.size(), 4u);
  EXPECT_EQ(results[0].outcome, Registration::kSyncIdInUse);
  EXPECT_EQ(results[1].outcome, Registration::kRegistered);
  EXPECT_EQ(results[2].outcome, Registration::kRegistered);
  EXPECT_EQ(results[3].outcome, Registration::kSyncPaused);
  EXPECT_EQ(list.Find(2), nullptr);
  ASSERT_NE(list.Find(7), nullptr);
  EXPECT_EQ(list.Entries().size(), 2u);

  // From an empty list (program start) the first in key order wins.
  SyncList fresh;
  const auto first = RegisterAllNotes(fresh, all);
  EXPECT_EQ(first[0].outcome, Registration::kRegistered);
  EXPECT_EQ(first[2].errorCode, kSyncErrorIdInUse);
  // Sync IDs differing only in case are different IDs.
  EXPECT_EQ(RegisterNote(fresh, {9, U16(u"SAME"), pw}).outcome, Registration::kRegistered);
}

TEST(RegistrationRules, DuplicateItemsLaterCopiesGo) {
  const auto h = [](std::uint8_t v) {
    ItemHashValue x{};
    x[0] = v;
    return x;
  };
  struct Case {
    std::vector<ListedItemHash> items;
    std::vector<std::uint32_t> doomed;
  };
  const std::vector<Case> cases = {
      {{}, {}},
      {{{1, h(1)}, {2, h(2)}}, {}},
      {{{5, h(1)}, {2, h(1)}}, {2}},                      // list order, not id order
      {{{1, h(1)}, {2, h(2)}, {3, h(1)}, {4, h(1)}, {9, h(2)}}, {3, 4, 9}},
  };
  for (const auto& c : cases) EXPECT_EQ(DuplicateItemsToDelete(c.items), c.doomed);
}

}  // namespace
}  // namespace vellumo::sync
