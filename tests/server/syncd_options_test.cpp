// The command line: what each flag sets and what is refused.
#include <gtest/gtest.h>

#include "options.h"

namespace vellumo::syncd {
namespace {

std::optional<Options> Parse(std::vector<std::string> args, std::string* error = nullptr) {
  std::string e;
  auto o = ParseOptions(args, e);
  if (error != nullptr) *error = e;
  return o;
}

TEST(OptionsTest, DefaultsNeedNothingButWorkFromTheCurrentDirectory) {
  const auto o = Parse({});
  ASSERT_TRUE(o);
  EXPECT_EQ(o->command, Command::kServe);
  EXPECT_EQ(o->server.port, 8002);
  EXPECT_EQ(o->server.host, "0.0.0.0");
  EXPECT_TRUE(o->postgres.empty());
  EXPECT_EQ(o->pwhash.memLimit, PwhashLimits::Moderate().memLimit);
}

TEST(OptionsTest, FlagsSetTheirValues) {
  const auto o = Parse({"accounts", "--data", "/srv/x", "--listen", "[::1]:9000", "--min-version=3.4",
                        "--max-failures", "2", "--failure-window", "60", "--pwhash", "min", "--max-connections", "7",
                        "--idle-timeout", "5", "--threads", "3", "--log-level", "error", "--max-new-accounts", "9"});
  ASSERT_TRUE(o);
  EXPECT_EQ(o->command, Command::kAccounts);
  EXPECT_EQ(o->dataDir, "/srv/x");
  EXPECT_EQ(o->server.host, "::1");
  EXPECT_EQ(o->server.port, 9000);
  EXPECT_EQ(o->session.minVersion, (sync::ProgramVersion{3, 4}));
  EXPECT_EQ(o->rateLimit.maxFailures, 2u);
  EXPECT_EQ(o->rateLimit.window, std::chrono::seconds(60));
  EXPECT_EQ(o->pwhash.opsLimit, PwhashLimits::Fastest().opsLimit);
  EXPECT_EQ(o->server.maxConnections, 7u);
  EXPECT_EQ(o->server.idleTimeout, std::chrono::seconds(5));
  EXPECT_EQ(o->server.threads, 3u);
  EXPECT_EQ(o->logLevel, LogLevel::kError);
  EXPECT_EQ(o->creationLimit.maxFailures, 9u);
  EXPECT_EQ(Parse({":8100"}) ? 1 : 0, 0);  // a bare value is not an option
  EXPECT_EQ(Parse({"--listen", ":8100"})->server.host, "0.0.0.0");
  EXPECT_EQ(Parse({"--data", "d", "--help"})->command, Command::kHelp);
}

TEST(OptionsTest, BadCommandLinesAreRefusedWithAReason) {
  const std::vector<std::vector<std::string>> rows = {
      {"--listen", "8002"},         {"--listen", "host:http"},  {"--listen", "h:70000"},
      {"--min-version", "3"},       {"--min-version", "3.256"}, {"--max-connections", "0"},
      {"--pwhash", "extreme"},      {"--idle-timeout", "0"},    {"--max-queue-bytes", "1000"},
      {"--data"},                   {"--frobnicate", "1"},      {"--log-level", "loud"},
  };
  for (const auto& row : rows) {
    std::string error;
    EXPECT_FALSE(Parse(row, &error)) << row[0];
    EXPECT_FALSE(error.empty()) << row[0];
  }
}

}  // namespace
}  // namespace vellumo::syncd
