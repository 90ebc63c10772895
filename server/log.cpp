#include "log.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <string>

namespace vellumo::syncd {

namespace {
std::atomic<int> gLevel{static_cast<int>(LogLevel::kInfo)};
std::mutex gMutex;
}  // namespace

void SetLogLevel(LogLevel level) noexcept { gLevel = static_cast<int>(level); }

void Log(LogLevel level, std::string_view message) {
  if (static_cast<int>(level) < gLevel.load()) return;
  const auto now = std::chrono::system_clock::now();
  const std::time_t t = std::chrono::system_clock::to_time_t(now);
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm tm{};
  gmtime_r(&t, &tm);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &tm);
  static constexpr const char* kNames[] = {"debug", "info", "warning", "error", ""};
  std::lock_guard lock(gMutex);
  std::fprintf(stderr, "%s.%03dZ %s: %.*s\n", stamp, static_cast<int>(ms), kNames[static_cast<int>(level)],
               static_cast<int>(message.size()), message.data());
}

}  // namespace vellumo::syncd
