// vellumo-syncd: the sync server.  See --help.
#include <signal.h>

#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "account_gate.h"
#include "hub.h"
#include "log.h"
#include "options.h"
#include "open_store.h"
#include "sync_server.h"

using namespace vellumo::syncd;

namespace {

int ListAccounts(Store& store) {
  const auto accounts = store.Accounts();
  std::size_t items = 0;
  std::size_t bytes = 0;
  std::printf("%-8s %-20s %8s %10s %12s\n", "account", "created (UTC)", "items", "tombstones", "sealed bytes");
  for (const auto& a : accounts) {
    const std::time_t t = static_cast<std::time_t>(a.createdUnix);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char created[32];
    std::strftime(created, sizeof created, "%Y-%m-%d %H:%M:%S", &tm);
    std::printf("%-8lld %-20s %8zu %10zu %12zu\n", static_cast<long long>(a.id), created, a.items, a.tombstones,
                a.sealedBytes);
    items += a.items;
    bytes += a.sealedBytes;
  }
  std::printf("%zu accounts, %zu items, %zu sealed bytes\n", accounts.size(), items, bytes);
  return 0;
}

int Serve(const Options& options, Store& store, ChangeFeed* feed) {
  Hub hub;
  AccountGate gate(store, options.pwhash, options.rateLimit, options.creationLimit);
  Services services{store, hub, gate, options.session};
  // The feed replays into hub, so it stops before hub goes, however Serve ends.
  struct FeedGuard {
    ChangeFeed* feed;
    ~FeedGuard() {
      if (feed != nullptr) feed->Detach();
    }
  } feedGuard{feed};
  if (feed != nullptr) feed->Attach(hub);

  // Signals are taken by sigwait below; the pool threads inherit the mask.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  SyncServer server(options.server, services);
  server.Start();
  Log(LogLevel::kInfo, "listening on " + options.server.host + ":" + std::to_string(server.port()) + " (" +
                           (options.postgres.empty() ? "SQLite in " + options.dataDir.string() : "PostgreSQL") + ")");
  int signalNumber = 0;
  sigwait(&stopSignals, &signalNumber);
  Log(LogLevel::kInfo, "stopping");
  server.Stop();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  const auto options = ParseOptions(std::vector<std::string>(argv + 1, argv + argc), error);
  if (!options) {
    std::fprintf(stderr, "vellumo-syncd: %s\n%s", error.c_str(), kUsage);
    return 2;
  }
  if (options->command == Command::kHelp) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  SetLogLevel(options->logLevel);
  if (!InitCrypto()) {
    Log(LogLevel::kError, "libsodium failed to initialise");
    return 1;
  }
  try {
    OpenedStore opened = OpenStore(options->dataDir, options->postgres, options->postgresConnections);
    if (options->command == Command::kAccounts) return ListAccounts(*opened.store);
    return Serve(*options, *opened.store, opened.feed.get());
  } catch (const StoreFailure& e) {
    Log(LogLevel::kError, std::string("store: ") + e.what());
    return 1;
  } catch (const std::system_error& e) {
    Log(LogLevel::kError, e.what());
    return 1;
  }
}
