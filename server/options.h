#pragma once
// Command line of vellumo-syncd.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "log.h"
#include "rate_limiter.h"
#include "session.h"
#include "sync_server.h"
#include "verifier_hash.h"

namespace vellumo::syncd {

enum class Command { kServe, kAccounts, kHelp };

struct Options {
  Command command = Command::kServe;
  std::filesystem::path dataDir = "vellumo-sync-data";
  std::string postgres;  // empty: the embedded store
  std::size_t postgresConnections = 8;
  ServerConfig server;
  SessionConfig session;
  RateLimit rateLimit;
  RateLimit creationLimit{60, std::chrono::seconds(3600)};
  PwhashLimits pwhash = PwhashLimits::Moderate();
  LogLevel logLevel = LogLevel::kInfo;
};

extern const char* const kUsage;

// nullopt and error set on a bad command line.
[[nodiscard]] std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error);

}  // namespace vellumo::syncd
