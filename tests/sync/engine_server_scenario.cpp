// The engine's decisions against the reference server's protocol state
// machine, in process and without sockets: two programs syncing one note
// through one server, with changes, disconnections and catching up.  Each
// simulated program applies the actions the decisions return to a table of
// items and a journal, the way the engine applies them to the database.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>

#include "account_gate.h"
#include "engine_fixture.h"
#include "hub.h"
#include "log.h"
#include "session.h"
#include "sync/frame_dispatch.h"
#include "sync/registration_rules.h"
#include "sync/sync_journal.h"
#include "test_store.h"
#include "verifier_hash.h"

namespace vellumo::sync {
namespace {

using namespace std::chrono_literals;
using namespace vellumo::sync::testing;
using syncd::Services;
using syncd::Session;

struct QueuingPeer : syncd::Peer {
  void Deliver(Frame frame) override { pushed.push_back(std::move(frame)); }
  void Pushed(std::uint32_t noteId, const ItemHashValue& hash) override {
    if (session != nullptr) session->RecordPush(noteId, hash);
  }
  std::vector<Frame> pushed;
  Session* session = nullptr;
};

// The real verifier hashes 133 MB; the server only compares verifiers, so a
// cheap stand-in that differs per password shows the same behaviour here.
SyncVerifierValue StandInVerifier(const Bytes& password) {
  SyncVerifierValue v{};
  for (std::size_t i = 0; i < password.size(); ++i) v[i % v.size()] ^= static_cast<std::uint8_t>(password[i] + i);
  return v;
}

class SimProgram {
 public:
  SimProgram(Services& services, std::uint32_t noteId, Bytes syncId, Bytes password)
      : services_(services), noteId_(noteId), settings_{noteId, std::move(syncId), std::move(password)} {
    model.notes[noteId];
  }

  void Connect() {
    session_ = std::make_unique<Session>(services_, peer_, "127.0.0.1");
    peer_.session = session_.get();
    list.MarkAllPending();
    outbox_ = {BuildPreamble({1, 0}), Built(Hello{0x11, noteId_})};
    const RegistrationResult r = RegisterNote(list, settings_);
    if (r.errorCode != 0) errors.push_back(r.errorCode);
    if (r.outcome != Registration::kRegistered) return;
    std::vector<ListedItemHash> listed;
    for (const auto& i : model.notes[noteId_]) listed.push_back({i.itemId, HashOf(i.stored)});
    for (std::uint32_t doomed : DuplicateItemsToDelete(listed)) RemoveItem(doomed);
    const SyncEntry& e = *list.Find(noteId_);
    outbox_.push_back(Built(Register{noteId_, StandInVerifier(e.password), e.syncId}));
  }

  void Disconnect() {
    peer_.session = nullptr;
    session_.reset();
    peer_.pushed.clear();
    outbox_.clear();
    list.MarkAllPending();
  }

  // One round: what this program sent reaches the server, and what the
  // server sent (answers and pushes from other programs) is dispatched.
  bool Step() {
    bool any = false;
    if (session_ && !outbox_.empty()) {
      const auto frames = std::exchange(outbox_, {});
      std::vector<Frame> replies;
      for (const auto& f : frames) EXPECT_TRUE(session_->Receive(f, replies)) << session_->closeReason();
      for (const auto& r : replies) Apply(DispatchServerFrame(r, list, model));
      any = true;
    }
    if (!peer_.pushed.empty()) {
      for (const auto& f : std::exchange(peer_.pushed, {})) Apply(DispatchServerFrame(f, list, model));
      any = true;
    }
    return any;
  }

  std::uint32_t Create(std::u16string_view title, std::u16string_view content) {
    const std::uint32_t id = nextItemId_++;
    const StoredItem item = Item(title, content);
    model.notes[noteId_].push_back({id, item});
    Apply(PlanItemCreated(list, noteId_, id, item.Fields()));
    return id;
  }
  void Update(std::uint32_t id, std::u16string_view title, std::u16string_view content) {
    auto& items = model.notes[noteId_];
    const auto it = std::ranges::find(items, id, &LocalItem::itemId);
    ASSERT_NE(it, items.end());
    const StoredItem before = std::exchange(it->stored, Item(title, content));
    Apply(PlanItemUpdated(list, model, noteId_, id, before.Fields(), it->stored.Fields()));
  }
  void Delete(std::uint32_t id) {
    const auto before = model.Item(noteId_, id);
    ASSERT_TRUE(before);
    RemoveItem(id);
    Apply(PlanItemDeleted(list, model, noteId_, before->Fields()));
  }
  std::uint32_t IdOf(std::u16string_view title) const {
    for (const auto& i : model.Items(noteId_))
      if (i.stored.title == U16(title)) return i.itemId;
    return 0;
  }

  // The note's items as "title:content", sorted.
  std::multiset<std::string> Titles() const {
    std::multiset<std::string> out;
    for (const auto& i : model.Items(noteId_)) out.insert(Narrow(i.stored.title) + ":" + Narrow(i.stored.content));
    return out;
  }

  TableItems model;
  SyncList list;
  std::vector<std::uint16_t> errors;

 private:
  static Frame Built(const ClientMessage& m) {
    Frame f;
    EXPECT_EQ(BuildFrame(m, f), FrameError::kOk);
    return f;
  }
  void RemoveItem(std::uint32_t id) { std::erase_if(model.notes[noteId_], [id](const LocalItem& i) { return i.itemId == id; }); }

  void Apply(const ActionList& actions) {
    for (const auto& action : actions) {
      std::visit(
          [&](const auto& a) {
            using A = std::decay_t<decltype(a)>;
            if constexpr (std::is_same_v<A, SendFrameAction>) outbox_.push_back(a.frame);
            if constexpr (std::is_same_v<A, CreateLocalItem>)
              model.notes[a.noteId].push_back({nextItemId_++, StoredItem{a.title, a.content}});
            if constexpr (std::is_same_v<A, DeleteLocalItem>) RemoveItem(a.itemId);
            if constexpr (std::is_same_v<A, JournalAdd>) {
              auto& j = model.journals[a.noteId];
              if (std::ranges::find(j, a.hash) == j.end()) j.push_back(a.hash);
            }
            if constexpr (std::is_same_v<A, JournalErase>) std::erase(model.journals[a.noteId], a.hash);
            if constexpr (std::is_same_v<A, SetEntryStatus>) list.SetStatus(a.noteId, a.status);
            if constexpr (std::is_same_v<A, ReportSyncError>) errors.push_back(a.code);
          },
          action);
    }
  }

  Services& services_;
  std::uint32_t noteId_;
  NoteSyncSettings settings_;
  QueuingPeer peer_;
  std::unique_ptr<Session> session_;
  std::vector<Frame> outbox_;
  std::uint32_t nextItemId_ = 1;
};

class EngineWithServer : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(syncd::InitCrypto());
    syncd::SetLogLevel(syncd::LogLevel::kQuiet);
  }
  void Pump(std::initializer_list<SimProgram*> programs) {
    for (int round = 0; round < 200; ++round) {
      bool any = false;
      for (SimProgram* p : programs) any = p->Step() || any;
      if (!any) return;
    }
    ADD_FAILURE() << "the exchange did not settle";
  }

  syncd::testing::TestStore t_;
  syncd::Hub hub_;
  syncd::AccountGate gate_{t_.store(), syncd::PwhashLimits::Fastest(), {100, 60s}};
  Services services_{t_.store(), hub_, gate_, syncd::SessionConfig{}};
};

using Set = std::multiset<std::string>;

TEST_F(EngineWithServer, TwoProgramsStayInStepThroughChangesAndAbsences) {
  // Different local note ids for the same sync ID.
  SimProgram a(services_, 1, U16(u"shared"), U16(u"pass-word"));
  SimProgram b(services_, 7, U16(u"shared"), U16(u"pass-word"));
  a.Create(u"one", u"1");
  a.Create(u"two", u"2");
  a.Create(u"one", u"1");  // a duplicate: gone when the note registers
  a.Connect();
  Pump({&a});
  EXPECT_EQ(a.Titles(), (Set{"one:1", "two:2"}));
  b.Connect();
  Pump({&a, &b});
  EXPECT_EQ(b.Titles(), (Set{"one:1", "two:2"}));
  ASSERT_TRUE(a.list.IsLive(1));
  ASSERT_TRUE(b.list.IsLive(7));

  a.Create(u"three", u"3");
  Pump({&a, &b});
  EXPECT_EQ(b.Titles(), (Set{"one:1", "two:2", "three:3"}));

  a.Update(a.IdOf(u"one"), u"one", u"uno");
  Pump({&a, &b});
  EXPECT_EQ(b.Titles(), (Set{"one:uno", "two:2", "three:3"}));

  b.Delete(b.IdOf(u"two"));
  Pump({&a, &b});
  EXPECT_EQ(a.Titles(), (Set{"one:uno", "three:3"}));

  // B is away while A adds and removes; it catches up when it returns, and
  // what was removed elsewhere is removed on it, not brought back.
  b.Disconnect();
  a.Create(u"four", u"4");
  a.Delete(a.IdOf(u"three"));
  Pump({&a});
  b.Connect();
  Pump({&a, &b});
  EXPECT_EQ(b.Titles(), (Set{"one:uno", "four:4"}));
  EXPECT_EQ(a.Titles(), b.Titles());

  // B deletes and edits while away: the journal reports them on return.
  b.Disconnect();
  b.Delete(b.IdOf(u"four"));
  b.Update(b.IdOf(u"one"), u"one", u"eins");
  b.Connect();
  Pump({&a, &b});
  EXPECT_EQ(b.Titles(), (Set{"one:eins"}));
  EXPECT_EQ(a.Titles(), (Set{"one:eins"}));
  EXPECT_TRUE(b.model.Journal(7).empty());
  EXPECT_TRUE(a.errors.empty());
  EXPECT_TRUE(b.errors.empty());
}

TEST_F(EngineWithServer, AWrongPasswordIsRefusedAndChangesNothing) {
  SimProgram a(services_, 1, U16(u"shared"), U16(u"pass-word"));
  a.Create(u"one", u"1");
  a.Connect();
  Pump({&a});

  SimProgram c(services_, 2, U16(u"shared"), U16(u"other-pass"));
  c.Create(u"mine", u"m");
  c.Connect();
  Pump({&a, &c});
  EXPECT_EQ(c.errors, std::vector<std::uint16_t>{kSyncErrorIdOrPassword});
  EXPECT_FALSE(c.list.IsLive(2));
  EXPECT_EQ(c.Titles(), (Set{"mine:m"}));
  EXPECT_EQ(a.Titles(), (Set{"one:1"}));

  // A password that fails the rule never reaches the server.
  SimProgram d(services_, 3, U16(u"shared"), U16(u"password1"));
  d.Connect();
  Pump({&d});
  EXPECT_EQ(d.errors, std::vector<std::uint16_t>{kSyncErrorIdOrPassword});
  EXPECT_EQ(d.list.Find(3), nullptr);
}

}  // namespace
}  // namespace vellumo::sync
