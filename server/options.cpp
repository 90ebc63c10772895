#include "options.h"

#include <charconv>
#include <functional>
#include <map>

namespace vellumo::syncd {

const char* const kUsage =
    "Usage: vellumo-syncd [options]            run the sync server\n"
    "       vellumo-syncd accounts [options]   list accounts with item counts\n"
    "\n"
    "Storage (one of):\n"
    "  --data DIR              embedded SQLite store in DIR (default ./vellumo-sync-data)\n"
    "  --postgres URL          PostgreSQL, e.g. postgresql://user@host/db; several servers\n"
    "                          may share one database and push to each other's clients\n"
    "  --postgres-connections N  connections each server keeps to it (default 8)\n"
    "Network:\n"
    "  --listen HOST:PORT      address to listen on (default 0.0.0.0:8002; [::]:8002 for IPv6)\n"
    "  --threads N             network threads (default: one per core)\n"
    "  --store-threads N       threads for store calls and password hashing (default 4;\n"
    "                          each new account's hash may take 256 MiB while it runs)\n"
    "  --max-connections N     connections served at once; more get status 3 (default 20000)\n"
    "  --max-queue-bytes N     outgoing bytes queued per connection before it is dropped\n"
    "                          as a slow reader (default 33554432)\n"
    "  --idle-timeout SECONDS  close a connection silent this long (default 90)\n"
    "Clients:\n"
    "  --min-version X.Y       answer status 5 to older programs (default 0.0)\n"
    "  --max-failures N        wrong passwords per sync ID and address before status 4\n"
    "                          (default 5; 0 disables the limit)\n"
    "  --failure-window SECS   window those failures are counted in (default 300)\n"
    "  --max-new-accounts N    accounts one address may create per hour; more get status 3\n"
    "                          (default 60; 0 disables the limit)\n"
    "  --pwhash LEVEL          Argon2id cost of stored verifier hashes: moderate (default),\n"
    "                          interactive, or min (tests only)\n"
    "Other:\n"
    "  --log-level LEVEL       debug, info (default), warning or error; logs go to stderr\n"
    "  --help                  this text\n";

namespace {

template <typename T>
bool Number(const std::string& text, T& out) {
  const auto* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, out);
  return ec == std::errc() && ptr == end;
}

bool ParseListen(const std::string& text, ServerConfig& server) {
  const auto colon = text.rfind(':');
  if (colon == std::string::npos) return false;
  std::string host = text.substr(0, colon);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  if (host.empty()) host = "0.0.0.0";
  if (!Number(text.substr(colon + 1), server.port)) return false;
  server.host = host;
  return true;
}

bool ParseVersion(const std::string& text, sync::ProgramVersion& version) {
  const auto dot = text.find('.');
  if (dot == std::string::npos) return false;
  return Number(text.substr(0, dot), version.majorVersion) && Number(text.substr(dot + 1), version.minorVersion);
}

}  // namespace

std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error) {
  Options options;
  std::size_t i = 0;
  if (i < args.size() && args[i] == "accounts") {
    options.command = Command::kAccounts;
    ++i;
  }
  using Setter = std::function<bool(const std::string&)>;
  std::size_t seconds = 0;
  const std::map<std::string, Setter> valued = {
      {"--data", [&](const std::string& v) { options.dataDir = v; return !v.empty(); }},
      {"--postgres", [&](const std::string& v) { options.postgres = v; return !v.empty(); }},
      {"--postgres-connections",
       [&](const std::string& v) { return Number(v, options.postgresConnections) && options.postgresConnections > 0; }},
      {"--listen", [&](const std::string& v) { return ParseListen(v, options.server); }},
      {"--threads", [&](const std::string& v) { return Number(v, options.server.threads); }},
      {"--store-threads",
       [&](const std::string& v) { return Number(v, options.server.storeThreads) && options.server.storeThreads > 0; }},
      {"--max-connections",
       [&](const std::string& v) { return Number(v, options.server.maxConnections) && options.server.maxConnections > 0; }},
      {"--max-queue-bytes",
       [&](const std::string& v) { return Number(v, options.server.maxQueuedBytes) && options.server.maxQueuedBytes >= 262144; }},
      {"--idle-timeout",
       [&](const std::string& v) {
         if (!Number(v, seconds) || seconds == 0) return false;
         options.server.idleTimeout = std::chrono::seconds(seconds);
         return true;
       }},
      {"--min-version", [&](const std::string& v) { return ParseVersion(v, options.session.minVersion); }},
      {"--max-failures", [&](const std::string& v) { return Number(v, options.rateLimit.maxFailures); }},
      {"--max-new-accounts",
       [&](const std::string& v) { return Number(v, options.creationLimit.maxFailures); }},
      {"--failure-window",
       [&](const std::string& v) {
         if (!Number(v, seconds) || seconds == 0) return false;
         options.rateLimit.window = std::chrono::seconds(seconds);
         return true;
       }},
      {"--pwhash",
       [&](const std::string& v) {
         if (v == "moderate") {
           options.pwhash = PwhashLimits::Moderate();
         } else if (v == "interactive") {
           options.pwhash = PwhashLimits::Interactive();
         } else if (v == "min") {
           options.pwhash = PwhashLimits::Fastest();
         } else {
           return false;
         }
         return true;
       }},
      {"--log-level",
       [&](const std::string& v) {
         static const std::map<std::string, LogLevel> kLevels = {
             {"debug", LogLevel::kDebug}, {"info", LogLevel::kInfo}, {"warning", LogLevel::kWarning},
             {"error", LogLevel::kError}};
         const auto it = kLevels.find(v);
         if (it == kLevels.end()) return false;
         options.logLevel = it->second;
         return true;
       }},
  };
  for (; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      options.command = Command::kHelp;
      return options;
    }
    std::string name = arg;
    std::string value;
    bool hasValue = false;
    if (const auto eq = arg.find('='); arg.starts_with("--") && eq != std::string::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
      hasValue = true;
    }
    const auto it = valued.find(name);
    if (it == valued.end()) {
      error = "unknown option " + arg;
      return std::nullopt;
    }
    if (!hasValue) {
      if (i + 1 >= args.size()) {
        error = name + " needs a value";
        return std::nullopt;
      }
      value = args[++i];
    }
    if (!it->second(value)) {
      error = "bad value for " + name + ": " + value;
      return std::nullopt;
    }
  }
  return options;
}

}  // namespace vellumo::syncd
