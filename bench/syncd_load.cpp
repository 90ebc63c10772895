// Load generator for vellumo-syncd: many clients on 127.0.0.1, some of them
// hostile, and the time an upload takes to reach the account's other clients.
//
//   syncd_load [--port P | --postgres URL] [--clients N] [--ids N] [--seconds S] [--rate R]
//
// Without --port it runs the server in this process on a fresh SQLite store
// (the usual case: one command, nothing to set up), or on the PostgreSQL
// database at URL, which must be empty.  Honest clients upload
// R items per second in total; every item must reach every other honest
// client of its sync ID, and every sync ID must afterwards hold every item
// uploaded to it.  5 % of the clients are hostile, in four kinds: oversized
// frames, garbage instead of the preamble, slow readers of a flooded sync
// ID, and wrong passwords.  Prints the propagation time from Upload to the
// other clients' item frame beside the heartbeat round trip of the same run.
// Exits 1 when an item was lost or a hostile connection survived.
#include <sys/resource.h>

#include <asio.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "account_gate.h"
#include "hub.h"
#include "log.h"
#include "open_store.h"
#include "sync/frames.h"
#include "sync/sha1.h"
#include "sync_server.h"
#include "verifier_hash.h"

namespace {

using asio::ip::tcp;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
namespace sync = vellumo::sync;
using sync::Frame;

struct Settings {
  std::uint16_t port = 0;
  int clients = 1000;
  int ids = 200;
  double seconds = 10;
  double rate = 400;  // uploads per second, all honest clients together
  std::string postgres;
};

Frame Build(const sync::ClientMessage& m) {
  Frame f;
  (void)sync::BuildFrame(m, f);
  return f;
}

std::vector<std::uint8_t> SyncIdBytes(const std::string& text) {
  std::vector<std::uint8_t> out;
  for (char c : text) {
    out.push_back(static_cast<std::uint8_t>(c));
    out.push_back(0);
  }
  return out;
}

sync::SyncVerifierValue VerifierOf(int id, bool wrong = false) {
  const std::string text = (wrong ? "wrong-" : "right-") + std::to_string(id);
  return sync::Sha1Hash(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

struct Percentiles {
  double p50 = 0, p99 = 0, max = 0;
  std::size_t n = 0;
};
Percentiles Summarise(std::vector<double> v) {
  Percentiles p;
  p.n = v.size();
  if (v.empty()) return p;
  std::sort(v.begin(), v.end());
  p.p50 = v[v.size() / 2];
  p.p99 = v[std::min(v.size() - 1, v.size() * 99 / 100)];
  p.max = v.back();
  return p;
}

// Everything the clients share; one generator thread, so no locks.
struct Run {
  Settings settings;
  tcp::endpoint server;
  Clock::time_point start, stopUploads;
  std::vector<double> propagation, roundTrip;
  std::map<std::uint32_t, std::set<int>> expected;  // item -> clients that must get it
  std::map<std::uint32_t, std::set<int>> received;
  std::map<int, std::uint32_t> uploadsPerId;
  std::uint32_t nextItem = 1;
  int registered = 0;
  int failures = 0;
  std::map<std::string, std::pair<int, int>> hostile;  // kind -> (dealt with, total)
};

struct Honest {
  int index = 0;
  int id = 0;
  bool live = false;
  Clock::time_point heartbeatSent{};
};

asio::awaitable<std::optional<Frame>> ReadFrame(tcp::socket& s) {
  Frame f(4);
  asio::error_code ec;
  co_await asio::async_read(s, asio::buffer(f), asio::redirect_error(asio::use_awaitable, ec));
  if (ec) co_return std::nullopt;
  const std::uint32_t length = f[0] | f[1] << 8 | f[2] << 16 | static_cast<std::uint32_t>(f[3]) << 24;
  if (length < 6 || length > sync::kMaxFrameBytes) co_return std::nullopt;
  f.resize(length);
  co_await asio::async_read(s, asio::buffer(f.data() + 4, length - 4), asio::redirect_error(asio::use_awaitable, ec));
  if (ec) co_return std::nullopt;
  co_return f;
}

asio::awaitable<void> HonestReader(Run& run, std::shared_ptr<tcp::socket> s, std::shared_ptr<Honest> me) {
  for (;;) {
    auto f = co_await ReadFrame(*s);
    if (!f) co_return;
    sync::ServerMessage m;
    if (sync::ParseServerFrame(*f, m) != sync::FrameError::kOk) continue;
    const auto now = Clock::now();
    if (const auto* st = std::get_if<sync::RegisterStatus>(&m)) {
      if (st->status == 0) {
        me->live = true;
        ++run.registered;
      } else {
        ++run.failures;
      }
    } else if (std::holds_alternative<sync::HeartbeatAnswer>(m)) {
      if (me->heartbeatSent != Clock::time_point{}) run.roundTrip.push_back(Ms(now - me->heartbeatSent));
      me->heartbeatSent = {};
    } else if (const auto* item = std::get_if<sync::ServerItem>(&m)) {
      if (item->sealed.size() < 16) continue;
      std::int64_t sentNs = 0;
      std::uint32_t number = 0;
      std::memcpy(&sentNs, item->sealed.data(), 8);
      std::memcpy(&number, item->sealed.data() + 8, 4);
      if (number == 0) continue;  // flood traffic
      run.propagation.push_back(Ms(now - Clock::time_point(Clock::duration(sentNs))));
      run.received[number].insert(me->index);
    }
  }
}

asio::awaitable<void> HonestClient(Run& run, std::shared_ptr<Honest> me,
                                  std::map<int, std::vector<std::shared_ptr<Honest>>>& byId) {
  auto ex = co_await asio::this_coro::executor;
  auto s = std::make_shared<tcp::socket>(ex);
  asio::error_code ec;
  co_await s->async_connect(run.server, asio::redirect_error(asio::use_awaitable, ec));
  if (ec) {
    ++run.failures;
    co_return;
  }
  s->set_option(tcp::no_delay(true));
  asio::co_spawn(ex, HonestReader(run, s, me), asio::detached);
  const auto id = SyncIdBytes("load-" + std::to_string(me->id));
  Frame out = sync::BuildPreamble({1, 0});
  for (const auto& f : {Build(sync::Hello{static_cast<std::uint32_t>(me->index), 1}),
                        Build(sync::Register{1, VerifierOf(me->id), id})}) {
    out.insert(out.end(), f.begin(), f.end());
  }
  co_await asio::async_write(*s, asio::buffer(out), asio::redirect_error(asio::use_awaitable, ec));
  // Each honest client uploads at its share of the rate, starting at random.
  const int honest = static_cast<int>(run.settings.clients * 95 / 100);
  const double perClient = run.settings.rate / std::max(1, honest);
  std::mt19937 random(static_cast<unsigned>(me->index));
  std::exponential_distribution<double> gap(perClient);
  asio::steady_timer timer(ex);
  auto next = run.start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(gap(random)));
  auto nextBeat = run.start + std::chrono::milliseconds(200 + me->index % 800);
  while (!ec) {
    const auto wake = std::min(next, nextBeat);
    if (wake >= run.stopUploads) break;
    timer.expires_at(wake);
    co_await timer.async_wait(asio::redirect_error(asio::use_awaitable, ec));
    const auto now = Clock::now();
    if (now >= nextBeat) {
      nextBeat = now + 1s;
      if (me->heartbeatSent == Clock::time_point{}) {
        me->heartbeatSent = now;
        co_await asio::async_write(*s, asio::buffer(Build(sync::Heartbeat{})),
                                   asio::redirect_error(asio::use_awaitable, ec));
      }
      continue;
    }
    next = now + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(gap(random)));
    if (!me->live) continue;
    const std::uint32_t number = run.nextItem++;
    std::vector<std::uint8_t> sealed(64, 0x5A);
    const std::int64_t sentNs = Clock::now().time_since_epoch().count();
    std::memcpy(sealed.data(), &sentNs, 8);
    std::memcpy(sealed.data() + 8, &number, 4);
    const auto hash = sync::Sha1Hash(std::span(sealed.data() + 8, 4));
    auto& recipients = run.expected[number];
    for (const auto& other : byId[me->id]) {
      if (other.get() != me.get() && other->live) recipients.insert(other->index);
    }
    ++run.uploadsPerId[me->id];
    co_await asio::async_write(*s, asio::buffer(Build(sync::Upload{1, hash, sealed})),
                               asio::redirect_error(asio::use_awaitable, ec));
  }
  // Stay connected (reading) until the run ends.
  timer.expires_at(run.stopUploads + 1500ms);
  co_await timer.async_wait(asio::redirect_error(asio::use_awaitable, ec));
  s->close(ec);
}

// Floods the sync ID the slow readers listen to, and owns the one the
// password guessers attack (so that their rate limit, which is per address
// and sync ID, spares the honest clients on 127.0.0.1).
asio::awaitable<void> Flooder(Run& run) {
  auto ex = co_await asio::this_coro::executor;
  tcp::socket s(ex);
  asio::error_code ec;
  co_await s.async_connect(run.server, asio::redirect_error(asio::use_awaitable, ec));
  if (ec) co_return;
  const auto id = SyncIdBytes("flood");
  Frame out = sync::BuildPreamble({1, 0});
  const Frame reg = Build(sync::Register{1, VerifierOf(-1), id});
  const Frame guarded = Build(sync::Register{2, VerifierOf(-2), SyncIdBytes("guarded")});
  out.insert(out.end(), reg.begin(), reg.end());
  out.insert(out.end(), guarded.begin(), guarded.end());
  co_await asio::async_write(s, asio::buffer(out), asio::redirect_error(asio::use_awaitable, ec));
  asio::steady_timer timer(ex);
  std::uint32_t n = 0;
  std::vector<std::uint8_t> sealed(65536, 0x33);
  while (!ec && Clock::now() < run.stopUploads) {
    timer.expires_after(25ms);
    co_await timer.async_wait(asio::redirect_error(asio::use_awaitable, ec));
    ++n;
    std::memset(sealed.data(), 0, 12);  // item number 0: not counted
    std::memcpy(sealed.data() + 12, &n, 4);
    const auto hash = sync::Sha1Hash(std::span(sealed.data() + 12, 4));
    co_await asio::async_write(s, asio::buffer(Build(sync::Upload{1, hash, sealed})),
                               asio::redirect_error(asio::use_awaitable, ec));
    // Drain what the server says to us.
    std::array<std::uint8_t, 4096> sink;
    while (s.available(ec) > 0 && !ec) s.read_some(asio::buffer(sink), ec);
  }
  s.close(ec);
}

// True when the server closed the connection.
asio::awaitable<bool> ClosedBy(tcp::socket& s, Clock::time_point deadline) {
  std::array<std::uint8_t, 65536> sink;
  asio::steady_timer timer(co_await asio::this_coro::executor);
  for (;;) {
    if (Clock::now() >= deadline) co_return false;
    asio::error_code ec;
    // Polling reads keep this simple; a slow reader only reads at the end.
    const std::size_t n = s.available(ec);
    if (ec) co_return true;
    if (n > 0) {
      s.read_some(asio::buffer(sink), ec);
      if (ec) co_return true;
      continue;
    }
    s.non_blocking(true, ec);
    s.read_some(asio::buffer(sink), ec);
    if (ec == asio::error::eof || ec == asio::error::connection_reset) co_return true;
    timer.expires_after(20ms);
    co_await timer.async_wait(asio::redirect_error(asio::use_awaitable, ec));
  }
}

asio::awaitable<void> Hostile(Run& run, int index, int kind) {
  static const char* const kKinds[] = {"oversized frame", "garbage", "slow reader", "wrong password"};
  auto ex = co_await asio::this_coro::executor;
  tcp::socket s(ex);
  asio::error_code ec;
  s.open(tcp::v4());
  if (kind == 2) s.set_option(asio::socket_base::receive_buffer_size(4096));
  co_await s.async_connect(run.server, asio::redirect_error(asio::use_awaitable, ec));
  auto& tally = run.hostile[kKinds[kind]];
  ++tally.second;
  if (ec) co_return;
  Frame out;
  if (kind != 1) out = sync::BuildPreamble({1, 0});
  switch (kind) {
    case 0: {
      const Frame header = {0x40, 0x0D, 0x03, 0x00, 6, 0};  // 200000 bytes
      out.insert(out.end(), header.begin(), header.end());
      break;
    }
    case 1: {
      std::mt19937 random(static_cast<unsigned>(index));
      for (int i = 0; i < 256; ++i) out.push_back(static_cast<std::uint8_t>(random()));
      break;
    }
    case 2: {
      const Frame reg = Build(sync::Register{1, VerifierOf(-1), SyncIdBytes("flood")});
      out.insert(out.end(), reg.begin(), reg.end());
      break;
    }
    default:
      break;
  }
  co_await asio::async_write(s, asio::buffer(out), asio::redirect_error(asio::use_awaitable, ec));
  if (kind == 3) {
    // Guess until refused outright; wait for the owner to exist first.
    const auto id = SyncIdBytes("guarded");
    asio::steady_timer timer(ex);
    timer.expires_after(500ms);
    co_await timer.async_wait(asio::redirect_error(asio::use_awaitable, ec));
    for (int attempt = 0; attempt < 10 && !ec; ++attempt) {
      co_await asio::async_write(s, asio::buffer(Build(sync::Register{9, VerifierOf(index, true), id})),
                                 asio::redirect_error(asio::use_awaitable, ec));
      auto f = co_await ReadFrame(s);
      sync::ServerMessage m;
      if (!f || sync::ParseServerFrame(*f, m) != sync::FrameError::kOk) break;
      if (const auto* st = std::get_if<sync::RegisterStatus>(&m); st != nullptr && st->status == 4) {
        ++tally.first;
        break;
      }
      timer.expires_after(20ms);
      co_await timer.async_wait(asio::redirect_error(asio::use_awaitable, ec));
    }
    co_return;
  }
  // The slow readers read nothing until the uploads stop.
  asio::steady_timer wait(ex);
  wait.expires_at(kind == 2 ? run.stopUploads : Clock::now());
  co_await wait.async_wait(asio::redirect_error(asio::use_awaitable, ec));
  if (co_await ClosedBy(s, Clock::now() + 3s)) ++tally.first;
}

// After the run: each sync ID must hold everything uploaded to it.
asio::awaitable<void> CheckStore(Run& run, int id, int& held, int& checked) {
  auto ex = co_await asio::this_coro::executor;
  tcp::socket s(ex);
  asio::error_code ec;
  co_await s.async_connect(run.server, asio::redirect_error(asio::use_awaitable, ec));
  if (ec) co_return;
  Frame out = sync::BuildPreamble({1, 0});
  const auto syncId = SyncIdBytes("load-" + std::to_string(id));
  for (const auto& f : {Build(sync::Register{1, VerifierOf(id), syncId}), Build(sync::ListEnd{1, 0}),
                        Build(sync::Heartbeat{})}) {
    out.insert(out.end(), f.begin(), f.end());
  }
  co_await asio::async_write(s, asio::buffer(out), asio::redirect_error(asio::use_awaitable, ec));
  for (;;) {
    auto f = co_await ReadFrame(s);
    if (!f) break;
    sync::ServerMessage m;
    if (sync::ParseServerFrame(*f, m) != sync::FrameError::kOk) continue;
    if (const auto* st = std::get_if<sync::RegisterStatus>(&m); st != nullptr && st->status != 0) co_return;
    if (std::holds_alternative<sync::ServerItem>(m)) ++held;
    if (std::holds_alternative<sync::HeartbeatAnswer>(m)) break;
  }
  ++checked;
}

bool ParseArgs(int argc, char** argv, Settings& s) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    if (name == "--postgres") {
      s.postgres = argv[i + 1];
      continue;
    }
    const double v = std::stod(argv[i + 1]);
    if (name == "--port") s.port = static_cast<std::uint16_t>(v);
    else if (name == "--clients") s.clients = static_cast<int>(v);
    else if (name == "--ids") s.ids = static_cast<int>(v);
    else if (name == "--seconds") s.seconds = v;
    else if (name == "--rate") s.rate = v;
    else return false;
  }
  return argc % 2 == 1 && s.clients >= 20 && s.ids >= 1 && s.seconds > 0 && s.seconds <= 120;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace vellumo::syncd;
  Settings settings;
  if (!ParseArgs(argc, argv, settings)) {
    std::fprintf(stderr,
                 "usage: syncd_load [--port P | --postgres URL] [--clients N>=20] [--ids N] [--seconds S<=120] [--rate UPLOADS/S]\n");
    return 2;
  }
  rlimit files{};
  getrlimit(RLIMIT_NOFILE, &files);
  files.rlim_cur = files.rlim_max;
  setrlimit(RLIMIT_NOFILE, &files);
  if (!InitCrypto()) return 1;
  SetLogLevel(LogLevel::kError);

  // The server, unless one is given.
  const auto dir = std::filesystem::temp_directory_path() / ("syncd-load-" + std::to_string(::getpid()));
  OpenedStore opened;
  std::unique_ptr<Hub> hub;
  std::unique_ptr<AccountGate> gate;
  std::unique_ptr<Services> services;
  std::unique_ptr<SyncServer> server;
  if (settings.port == 0) {
    opened = OpenStore(dir, settings.postgres);
    Store& store = *opened.store;
    hub = std::make_unique<Hub>();
    // Guessers get 3 tries; verifier hashes at the minimum cost so that the
    // run measures the protocol, not Argon2; every account comes from
    // 127.0.0.1, so there is no limit on creating them.
    gate = std::make_unique<AccountGate>(store, PwhashLimits::Fastest(), RateLimit{3, 60s}, RateLimit{0, 60s});
    services = std::make_unique<Services>(Services{store, *hub, *gate, SessionConfig{}});
    ServerConfig config;
    config.host = "127.0.0.1";
    config.port = 0;
    config.maxQueuedBytes = 1u << 20;
    config.writeStall = 2s;
    config.watchdogPeriod = 250ms;
    server = std::make_unique<SyncServer>(config, *services);
    server->Start();
    settings.port = server->port();
  }

  Run run;
  run.settings = settings;
  run.server = tcp::endpoint(asio::ip::make_address("127.0.0.1"), settings.port);
  asio::io_context io;
  std::map<int, std::vector<std::shared_ptr<Honest>>> byId;
  const int hostileCount = settings.clients * 5 / 100;
  const int honestCount = settings.clients - hostileCount;
  // Connections first, then 1 s to register, then the timed uploads.
  run.start = Clock::now() + 2s;
  run.stopUploads = run.start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(settings.seconds));
  for (int i = 0; i < honestCount; ++i) {
    auto h = std::make_shared<Honest>();
    h->index = i;
    h->id = i % settings.ids;
    byId[h->id].push_back(h);
    asio::co_spawn(io, HonestClient(run, h, byId), asio::detached);
  }
  asio::co_spawn(io, Flooder(run), asio::detached);
  for (int i = 0; i < hostileCount; ++i) asio::co_spawn(io, Hostile(run, i, i % 4), asio::detached);
  io.run();
  io.restart();

  int held = 0;
  int checked = 0;
  for (int id = 0; id < settings.ids; ++id) asio::co_spawn(io, CheckStore(run, id, held, checked), asio::detached);
  io.run();

  std::size_t expected = 0;
  std::size_t lost = 0;
  for (const auto& [item, who] : run.expected) {
    expected += who.size();
    const auto& got = run.received[item];
    for (int c : who) lost += got.contains(c) ? 0 : 1;
  }
  std::uint32_t uploads = 0;
  for (const auto& [id, n] : run.uploadsPerId) uploads += n;

  std::printf("%d clients (%d honest, %d hostile) over %d sync IDs, %.1f s of uploads, %s\n", settings.clients,
              honestCount, hostileCount, settings.ids, settings.seconds,
              !server ? "external server" : settings.postgres.empty() ? "in-process server, SQLite"
                                                                       : "in-process server, PostgreSQL");
  std::printf("registered %d of %d honest clients, %d refused or failed\n", run.registered, honestCount, run.failures);
  std::printf("uploads %u; pushes expected %zu, lost %zu\n", uploads, expected, lost);
  std::printf("store check: %d of %d sync IDs answered, %d items held of %u uploaded\n", checked, settings.ids, held,
              uploads);
  bool hostileOk = true;
  for (const auto& [kind, tally] : run.hostile) {
    std::printf("hostile %-16s %d of %d %s\n", kind.c_str(), tally.first, tally.second,
                kind == "wrong password" ? "got status 4" : "dropped by the server");
    hostileOk = hostileOk && tally.first == tally.second;
  }
  const auto prop = Summarise(run.propagation);
  const auto rtt = Summarise(run.roundTrip);
  std::printf("propagation Upload -> item:  p50 %.3f ms  p99 %.3f ms  max %.3f ms  (%zu samples)\n", prop.p50,
              prop.p99, prop.max, prop.n);
  std::printf("heartbeat round trip:        p50 %.3f ms  p99 %.3f ms  max %.3f ms  (%zu samples)\n", rtt.p50, rtt.p99,
              rtt.max, rtt.n);
  if (server) server->Stop();
  server.reset();
  opened.store.reset();
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  const bool ok = lost == 0 && hostileOk && static_cast<std::uint32_t>(held) == uploads && checked == settings.ids;
  std::printf("%s\n", ok ? "OK" : "FAILED");
  return ok ? 0 : 1;
}
