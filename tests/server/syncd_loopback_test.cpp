// The server as clients see it: scripted clients over loopback TCP against a
// running server, each scenario a table of frame exchanges.
#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "account_gate.h"
#include "hub.h"
#include "log.h"
#include "script.h"
#include "sync/sealing.h"
#include "sync_server.h"
#include "test_store.h"
#include "verifier_hash.h"

namespace vellumo::syncd::testing {
namespace {

using namespace std::chrono_literals;

class Loopback : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(InitCrypto());
    SetLogLevel(LogLevel::kWarning);
  }

  static ServerConfig TestConfig() {
    ServerConfig c;
    c.host = "127.0.0.1";
    c.port = 0;
    c.threads = 2;
    c.watchdogPeriod = 50ms;
    c.busyGrace = 300ms;
    return c;
  }

  void Start(ServerConfig config = TestConfig(), SessionConfig session = {}, RateLimit limit = {3, 60s}) {
    gate_ = std::make_unique<AccountGate>(store_.store(), PwhashLimits::Fastest(), limit);
    services_ = std::make_unique<Services>(Services{store_.store(), hub_, *gate_, session});
    server_ = std::make_unique<SyncServer>(config, *services_);
    server_->Start();
    runner_ = std::make_unique<ScriptRunner>(server_->port());
  }

  void TearDown() override {
    runner_.reset();
    if (server_) server_->Stop();
  }

  void Run(const std::vector<Step>& steps) { runner_->Run(steps); }

  TestStore store_;
  Hub hub_;
  std::unique_ptr<AccountGate> gate_;
  std::unique_ptr<Services> services_;
  std::unique_ptr<SyncServer> server_;
  std::unique_ptr<ScriptRunner> runner_;
};

TEST_F(Loopback, AccountsPasswordsAndHeartbeats) {
  Start();
  Run({
      // The first Register of an unknown sync ID creates the account.
      Send(1, {Register(7, "alpha", 1), Heartbeat()}),
      Expect(1, {Status(7, 0), Answer()}),
      // An empty account has the empty digest: nothing to list.
      Send(1, {Digest(7, {})}),
      Quiet(1),
      // Another client with the wrong password is refused, and its frames
      // for that note are ignored.
      Send(2, {Register(3, "alpha", 2), Digest(3, {5}), Announce(3, 1, 5)}),
      Expect(2, {Status(3, 1)}),
      Quiet(2),
      // The same connection may retry with the right one.
      Send(2, {Register(3, "alpha", 1)}),
      Expect(2, {Status(3, 0)}),
      // Sync IDs are independent accounts; one connection may hold several.
      Send(1, {Register(8, "beta", 2)}),
      Expect(1, {Status(8, 0)}),
  });
}

TEST_F(Loopback, WrongPasswordsAreRateLimitedPerAddress) {
  Start();
  runner_->SetAddress(3, "127.0.0.3");
  Run({
      Send(1, {Register(1, "gamma", 1)}),
      Expect(1, {Status(1, 0)}),
      Send(2, {Register(1, "gamma", 9), Register(1, "gamma", 9), Register(1, "gamma", 9)}),
      Expect(2, {Status(1, 1), Status(1, 1), Status(1, 1)}),
      // Over the limit even the right password is not checked.
      Send(2, {Register(1, "gamma", 9), Register(1, "gamma", 1)}),
      Expect(2, {Status(1, 4), Status(1, 4)}),
      // Other sync IDs from that address, and that sync ID from elsewhere,
      // are not affected.
      Send(2, {Register(2, "delta", 1)}),
      Expect(2, {Status(2, 0)}),
      Send(3, {Register(1, "gamma", 1)}),
      Expect(3, {Status(1, 0)}),
  });
}

TEST_F(Loopback, ListUploadsPushesDeletesAndCatchUp) {
  Start();
  Run({
      // Client 1 holds items 1 and 2; the server has nothing yet.
      Send(1, {Register(10, "notes", 1), Digest(10, {1, 2})}),
      Expect(1, {Status(10, 0), ListRequest(10)}),
      Send(2, {Register(20, "notes", 1), Digest(20, {})}),
      Expect(2, {Status(20, 0)}),
      Quiet(2),
      Send(1, {ListItem(10, 101, 1), ListItem(10, 102, 2), ListEnd(10, 2)}),
      Expect(1, {UploadRequest(10, 101), UploadRequest(10, 102)}),
      // Accepted uploads reach the other client under its own note id,
      // never the uploader.
      Send(1, {Upload(10, 1), Upload(10, 2)}),
      Expect(2, {Item(20, 1), Item(20, 2)}),
      Quiet(1),
      // An upload of a hash the server has is not pushed twice.
      Send(2, {Upload(20, 1)}),
      Quiet(1),
      // Equal digests: nothing to do.
      Send(2, {Digest(20, {1, 2})}),
      Quiet(2),
      // A new item: Announce -> upload request -> push.
      Send(2, {Announce(20, 203, 3)}),
      Expect(2, {UploadRequest(20, 203)}),
      Send(2, {Upload(20, 3)}),
      Expect(1, {Item(10, 3)}),
      // Announcing what the server has asks for nothing.
      Send(1, {Announce(10, 103, 3)}),
      Quiet(1),
      // Delete: the other client is told by hash.
      Send(1, {DeleteHash(10, 2)}),
      Expect(2, {DeleteByHash(20, 2)}),
      // Client 3 was offline with items 1 and 2 and its own new item 4:
      // its stale copy of 2 is deleted (never resurrected), 4 is asked for
      // and 3, which it lacks, is sent.
      Send(3, {Register(30, "notes", 1), Digest(30, {1, 2, 4})}),
      Expect(3, {Status(30, 0), ListRequest(30)}),
      Send(3, {ListItem(30, 301, 1), ListItem(30, 302, 2), ListItem(30, 304, 4), ListEnd(30, 3)}),
      Expect(3, {DeleteItem(30, 302), UploadRequest(30, 304), Item(30, 3)}),
      Send(3, {Upload(30, 4)}),
      Expect(1, {Item(10, 4)}),
      Expect(2, {Item(20, 4)}),
      // A client that deleted while offline reports it during its list:
      // the server forgets the item and sends nothing back.
      Disconnect(2),
      Send(4, {Register(40, "notes", 1), Digest(40, {1, 3})}),
      Expect(4, {Status(40, 0), ListRequest(40)}),
      Send(4, {ListItem(40, 401, 1), DeleteHash(40, 4), ListItem(40, 403, 3), ListEnd(40, 2)}),
      Expect(1, {DeleteByHash(10, 4)}),
      Expect(3, {DeleteByHash(30, 4)}),
      Quiet(4),
  });
}

TEST_F(Loopback, AnnounceResurrectsATombstonedHash) {
  Start();
  Run({
      Send(1, {Register(1, "phoenix", 1), Announce(1, 11, 5)}),
      Expect(1, {Status(1, 0), UploadRequest(1, 11)}),
      // The heartbeat's answer shows that the frames before it were handled.
      Send(1, {Upload(1, 5), DeleteHash(1, 5), Heartbeat()}),
      Expect(1, {Answer()}),
      Send(2, {Register(2, "phoenix", 1), Digest(2, {5})}),
      Expect(2, {Status(2, 0), ListRequest(2)}),
      Send(2, {ListItem(2, 21, 5), ListEnd(2, 1)}),
      Expect(2, {DeleteItem(2, 21)}),
      // The user made that content again: the tombstone goes, the server
      // asks for it, and the others get it.
      Send(1, {Announce(1, 12, 5)}),
      Expect(1, {UploadRequest(1, 12)}),
      Send(1, {Upload(1, 5)}),
      Expect(2, {Item(2, 5)}),
      Send(3, {Register(3, "phoenix", 1), Digest(3, {5}), ListItem(3, 31, 5), ListEnd(3, 1)}),
      Expect(3, {Status(3, 0)}),
      Quiet(3),
  });
}

// Each row: bytes sent after the preamble (or instead of it) on a fresh
// connection, which the server must end without harming anyone else.
TEST_F(Loopback, MalformedInputEndsOnlyThatConnection) {
  Start();
  auto header = [](std::uint32_t length, std::uint16_t type) {
    Frame f(6);
    for (int i = 0; i < 4; ++i) f[i] = static_cast<std::uint8_t>(length >> (8 * i));
    f[4] = static_cast<std::uint8_t>(type);
    f[5] = static_cast<std::uint8_t>(type >> 8);
    return f;
  };
  auto padded = [](Frame f, std::size_t extra) {
    const auto length = static_cast<std::uint32_t>(f.size() + extra);
    f.resize(length);
    for (int i = 0; i < 4; ++i) f[i] = static_cast<std::uint8_t>(length >> (8 * i));
    return f;
  };
  Frame oversizedUpload = header(30 + 102416, 6);
  oversizedUpload.resize(30 + 102416);
  Frame oddSyncId = Register(1, "odd", 1);
  oddSyncId = padded(oddSyncId, 1);
  const Frame http = {'G', 'E', 'T', ' ', '/', ' ', 'H', 'T', 'T', 'P', '/', '1', '.', '1', '\r', '\n', '\r', '\n'};

  struct Row {
    const char* what;
    bool raw;  // no preamble
    Frame bytes;
  };
  const std::vector<Row> rows = {
      {"not the preamble", true, http},
      {"length 5", false, header(5, 0)},
      {"length 0", false, header(0, 0)},
      {"length above 131072", false, header(131073, 6)},
      {"padded heartbeat", false, padded(Heartbeat(), 2)},
      {"register with an odd sync ID", false, oddSyncId},
      {"unknown type", false, header(6, 9)},
      {"sealed part above 102400", false, oversizedUpload},
  };
  Run({Send(99, {Register(1, "bystander", 1)}), Expect(99, {Status(1, 0)})});
  int client = 1;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::vector<Step> steps;
    if (row.raw) steps.push_back(ConnectRaw(client));
    steps.push_back(Send(client, {row.bytes}));
    steps.push_back(Closed(client));
    Run(steps);
    ++client;
  }
  // The largest frame the protocol allows is fine, split however TCP likes.
  Frame largest = Build(sync::Upload{1, H(77), S(77, 102400)});
  Run({Send(99, {Frame(largest.begin(), largest.begin() + 7), Frame(largest.begin() + 7, largest.end()), Heartbeat()}),
       Expect(99, {Answer()})});
}

TEST_F(Loopback, ServerFullAndProgramTooOld) {
  ServerConfig config = TestConfig();
  config.maxConnections = 2;
  SessionConfig session;
  session.minVersion = {2, 1};
  Start(config, session);
  runner_->client(1, true).Send(Preamble(2, 1));
  runner_->client(2, true).Send(Preamble(1, 9));
  Run({
      Send(1, {Register(1, "full", 1)}),
      Expect(1, {Status(1, 0)}),
      // Too old: refused, but heartbeats are still answered.
      Send(2, {Register(1, "full", 1), Heartbeat()}),
      Expect(2, {Status(1, 5), Answer()}),
      // A third connection is over the limit: status 3, then closed.
      Send(3, {Register(1, "full", 1)}),
      Expect(3, {Status(1, 3)}),
      Closed(3),
      // Once a slot is free, a newcomer is served.
      Disconnect(2),
  });
  for (int i = 0; i < 500 && server_->connections() >= 2; ++i) std::this_thread::sleep_for(10ms);
  runner_->client(4, true).Send(Preamble(3, 0));
  Run({Send(4, {Register(1, "full", 1)}), Expect(4, {Status(1, 0)})});
}

TEST_F(Loopback, SlowReadersAndSilentConnectionsAreDropped) {
  ServerConfig config = TestConfig();
  config.maxQueuedBytes = 256 * 1024;
  config.idleTimeout = 1500ms;
  config.handshakeTimeout = 300ms;
  Start(config);
  // Connected but silent: closed well before the idle time.
  ScriptClient silent(server_->port());
  const auto connected = std::chrono::steady_clock::now();
  EXPECT_TRUE(silent.DrainUntilClosed(5s));
  EXPECT_LT(std::chrono::steady_clock::now() - connected, 1200ms);
  ScriptClient slow(server_->port(), "127.0.0.1", 4096);
  slow.Send(Preamble());
  slow.Send(Register(1, "flood", 1));
  Run({Send(1, {Register(2, "flood", 1)}), Expect(1, {Status(2, 0)})});
  std::this_thread::sleep_for(100ms);
  // Some 10 MB of pushes to a client that reads nothing.
  for (int n = 0; n < 100; ++n) {
    runner_->client(1).Send(Build(sync::Upload{2, H(n), S(n, 102400)}));
  }
  Run({Send(1, {Heartbeat()}), Expect(1, {Answer()})});
  EXPECT_TRUE(slow.DrainUntilClosed(5s));
  // The uploader, quiet from now on, is closed as idle.
  Run({Closed(1)});
}

// The bytes a real client makes: its verifier from a password, an item
// sealed under that password, and the other client opening what it gets.
TEST_F(Loopback, RealClientBytesPassThroughUnchanged) {
  Start();
  const auto password = Id("correct horse 1");
  const auto verifier = sync::SyncVerifier(password);
  const auto syncId = Id("real");
  const auto title = Id("title");
  const auto content = Id("<run>notepad.exe");
  const auto block = sync::ItemBlock::Make({title, content});
  ASSERT_TRUE(block);
  const auto key = sync::DeriveSyncKey(password);
  std::vector<std::uint8_t> sealed;
  ASSERT_EQ(sync::SealItemBlock(key, block->bytes(), sealed), sync::SealError::kOk);
  const auto hash = sync::ItemHash(block->bytes());

  Run({
      Send(1, {Build(sync::Register{1, verifier, syncId}), Build(sync::Announce{1, 5, hash})}),
      Expect(1, {Status(1, 0), UploadRequest(1, 5)}),
      Send(2, {Build(sync::Register{2, verifier, syncId})}),
      Expect(2, {Status(2, 0)}),
      Send(1, {Build(sync::Upload{1, hash, sealed})}),
  });
  Frame got;
  ASSERT_EQ(runner_->client(2).Receive(got, 5s), ScriptClient::Got::kFrame);
  sync::ServerMessage message;
  ASSERT_EQ(sync::ParseServerFrame(got, message), sync::FrameError::kOk);
  const auto* item = std::get_if<sync::ServerItem>(&message);
  ASSERT_NE(item, nullptr);
  std::vector<std::uint8_t> opened;
  ASSERT_EQ(sync::UnsealItemBlock(key, item->sealed, opened), sync::UnsealError::kOk);
  EXPECT_TRUE(std::equal(opened.begin(), opened.end(), block->bytes().begin(), block->bytes().end()));
  // The server holds the hash the client computed: the digests agree.
  Run({Send(2, {Build(sync::Digest{2, sync::NoteDigest(std::vector{hash})})}), Quiet(2)});
}

}  // namespace
}  // namespace vellumo::syncd::testing
