// The protocol state machine without sockets: what a store failure, a
// frame split anywhere, and an endless item list do.
#include <gtest/gtest.h>

#include <algorithm>

#include "account_gate.h"
#include "hub.h"
#include "log.h"
#include "session.h"
#include "test_store.h"
#include "wire.h"

namespace vellumo::syncd::testing {
namespace {

using namespace std::chrono_literals;

struct CollectingPeer : Peer {
  void Deliver(sync::Frame frame) override { pushed.push_back(std::move(frame)); }
  void Pushed(std::uint32_t noteId, const ItemHashValue& hash) override {
    if (session != nullptr) session->RecordPush(noteId, hash);
  }
  std::vector<sync::Frame> pushed;
  Session* session = nullptr;
};

// Fails every call once armed.
class BreakableStore final : public Store {
 public:
  explicit BreakableStore(Store& inner) : inner_(inner) {}
  bool broken = false;

  std::optional<StoredAccount> FindAccount(std::span<const std::uint8_t> id) override {
    Check();
    return inner_.FindAccount(id);
  }
  std::optional<AccountId> CreateAccount(std::span<const std::uint8_t> id, const std::string& h) override {
    Check();
    return inner_.CreateAccount(id, h);
  }
  std::vector<ItemHashValue> ItemHashes(AccountId a) override {
    Check();
    return inner_.ItemHashes(a);
  }
  std::vector<ItemHashValue> Tombstones(AccountId a) override {
    Check();
    return inner_.Tombstones(a);
  }
  bool HasItem(AccountId a, const ItemHashValue& h) override {
    Check();
    return inner_.HasItem(a, h);
  }
  std::optional<Bytes> GetItem(AccountId a, const ItemHashValue& h) override {
    Check();
    return inner_.GetItem(a, h);
  }
  bool PutItem(AccountId a, const ItemHashValue& h, std::span<const std::uint8_t> s) override {
    Check();
    return inner_.PutItem(a, h, s);
  }
  bool DeleteItem(AccountId a, const ItemHashValue& h) override {
    Check();
    return inner_.DeleteItem(a, h);
  }
  bool ClearTombstone(AccountId a, const ItemHashValue& h) override {
    Check();
    return inner_.ClearTombstone(a, h);
  }
  std::vector<AccountSummary> Accounts() override { return inner_.Accounts(); }

 private:
  void Check() const {
    if (broken) throw StoreFailure("disk on fire");
  }
  Store& inner_;
};

class SessionTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(InitCrypto());
    SetLogLevel(LogLevel::kQuiet);
  }
  std::vector<Frame> Feed(Session& s, const std::vector<Frame>& frames, bool* keep = nullptr) {
    std::vector<Frame> replies;
    bool ok = true;
    for (const auto& f : frames) ok = ok && s.Receive(f, replies);
    if (keep != nullptr) *keep = ok;
    return replies;
  }

  TestStore t_;
  BreakableStore store_{t_.store()};
  Hub hub_;
  AccountGate gate_{store_, PwhashLimits::Fastest(), {3, 60s}};
  Services services_{store_, hub_, gate_, SessionConfig{{0, 0}, 8, 16}};
  CollectingPeer peerA_, peerB_;
};

TEST_F(SessionTest, StoreFailureAnswersStatus9AndTheNoteStopsBeingLive) {
  Session a(services_, peerA_, "127.0.0.1");
  Session b(services_, peerB_, "127.0.0.1");
  EXPECT_EQ(Feed(a, {Preamble(), Hello(), Register(1, "s", 1), Register(2, "t", 1)}),
            (std::vector<Frame>{Status(1, 0), Status(2, 0)}));
  EXPECT_EQ(Feed(b, {Preamble(), Register(5, "s", 1)}), std::vector<Frame>{Status(5, 0)});
  store_.broken = true;
  EXPECT_EQ(Feed(a, {Upload(1, 4)}), std::vector<Frame>{Status(1, 9)});
  EXPECT_TRUE(peerB_.pushed.empty());
  EXPECT_EQ(Feed(b, {Register(6, "new", 1)}), std::vector<Frame>{Status(6, 9)});
  store_.broken = false;
  // Note 1 is no longer live on this connection; note 2 still is.
  EXPECT_EQ(Feed(a, {Digest(1, {4}), Digest(2, {4})}), std::vector<Frame>{ListRequest(2)});
  EXPECT_EQ(a.liveNotes(), 1u);
}

TEST_F(SessionTest, FramesSplitAnywhereGiveTheSameAnswers) {
  std::vector<std::uint8_t> stream;
  for (const auto& f : {Preamble(), Hello(), Register(1, "split", 1), Announce(1, 9, 3), Heartbeat()}) {
    stream.insert(stream.end(), f.begin(), f.end());
  }
  const std::vector<Frame> want = {Status(1, 0), UploadRequest(1, 9), Answer()};
  for (const std::size_t chunk : {std::size_t{1}, std::size_t{5}, std::size_t{29}, stream.size()}) {
    SCOPED_TRACE(chunk);
    CollectingPeer peer;
    Session s(services_, peer, "127.0.0.1");
    std::vector<Frame> replies;
    for (std::size_t at = 0; at < stream.size(); at += chunk) {
      const auto end = std::min(stream.size(), at + chunk);
      ASSERT_TRUE(s.Receive(std::span(stream).subspan(at, end - at), replies));
    }
    EXPECT_EQ(replies, want);
  }
}

TEST_F(SessionTest, ListsAndNotesBeyondWhatAClientSendsAreRefused) {
  Session s(services_, peerA_, "127.0.0.1");
  std::vector<Frame> frames = {Preamble(), Register(1, "long", 1)};
  for (std::uint32_t i = 0; i < 8; ++i) frames.push_back(ListItem(1, i, static_cast<int>(i)));
  bool keep = false;
  EXPECT_EQ(Feed(s, frames, &keep), std::vector<Frame>{Status(1, 0)});
  EXPECT_TRUE(keep);
  Feed(s, {ListItem(1, 99, 99)}, &keep);
  EXPECT_FALSE(keep);
  EXPECT_FALSE(s.closeReason().empty());

  Session many(services_, peerB_, "127.0.0.1");
  Feed(many, {Preamble()});
  for (std::uint32_t note = 0; note < 16; ++note) ASSERT_EQ(Feed(many, {Register(note, "n", 1)}).front(), Status(note, 0));
  EXPECT_EQ(Feed(many, {Register(16, "n", 1)}), std::vector<Frame>{Status(16, 3)});
}

// An item pushed to a client while it lists its note is not sent again at
// ListEnd, whether or not the list had it: the client would store it twice.
TEST_F(SessionTest, ItemsPushedDuringAListAreNotSentTwice) {
  Session a(services_, peerA_, "127.0.0.1");
  Session c(services_, peerB_, "127.0.0.1");
  peerB_.session = &c;
  Feed(a, {Preamble(), Register(1, "race", 1), Upload(1, 1)});
  EXPECT_EQ(Feed(c, {Preamble(), Register(3, "race", 1), Digest(3, {})}),
            (std::vector<Frame>{Status(3, 0), ListRequest(3)}));
  Feed(a, {Upload(1, 2)});
  EXPECT_EQ(peerB_.pushed, std::vector<Frame>{Item(3, 2)});
  // The client listed before it stored item 2; item 1 it lacks.
  EXPECT_EQ(Feed(c, {ListEnd(3, 0)}), std::vector<Frame>{Item(3, 1)});
  // Outside a list exchange nothing is remembered: a later full list gets all.
  Feed(a, {Upload(1, 3)});
  auto replies = Feed(c, {ListEnd(3, 0)});
  std::sort(replies.begin(), replies.end());
  auto want = std::vector<Frame>{Item(3, 1), Item(3, 2), Item(3, 3)};
  std::sort(want.begin(), want.end());
  EXPECT_EQ(replies, want);
}

TEST_F(SessionTest, NewAccountsPerAddressAreLimited) {
  AccountGate gate(store_, PwhashLimits::Fastest(), {3, 60s}, {2, 60s});
  const auto now = RateLimiter::Clock::now();
  EXPECT_EQ(gate.Register(Id("n1"), V(1), "10.0.0.1", now).status, 0);
  EXPECT_EQ(gate.Register(Id("n2"), V(1), "10.0.0.1", now).status, 0);
  EXPECT_EQ(gate.Register(Id("n3"), V(1), "10.0.0.1", now).status, 3);
  // Existing accounts and other addresses are not affected; the window ends.
  EXPECT_EQ(gate.Register(Id("n1"), V(1), "10.0.0.1", now).status, 0);
  EXPECT_EQ(gate.Register(Id("n3"), V(1), "10.0.0.2", now).status, 0);
  EXPECT_EQ(gate.Register(Id("n4"), V(1), "10.0.0.1", now + 61s).status, 0);
}

TEST(RateLimiterTest, FailuresAgeOutOfTheWindow) {
  RateLimiter limiter({2, 10s});
  const auto t0 = RateLimiter::Clock::time_point{} + 1000s;
  limiter.RecordFailure("k", t0);
  EXPECT_FALSE(limiter.Blocked("k", t0));
  limiter.RecordFailure("k", t0 + 5s);
  EXPECT_TRUE(limiter.Blocked("k", t0 + 5s));
  EXPECT_FALSE(limiter.Blocked("other", t0 + 5s));
  EXPECT_TRUE(limiter.Blocked("k", t0 + 9s));
  EXPECT_FALSE(limiter.Blocked("k", t0 + 10s));  // the first one aged out
  limiter.RecordFailure("k", t0 + 11s);
  EXPECT_TRUE(limiter.Blocked("k", t0 + 12s));
  EXPECT_FALSE(RateLimiter({0, 10s}).Blocked("k", t0));
}

}  // namespace
}  // namespace vellumo::syncd::testing
