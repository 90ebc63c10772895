#pragma once
// One line per event on standard error, with a UTC time stamp; systemd's
// journal and a terminal both read that.  Never given secrets: sync IDs,
// verifiers and sealed bytes stay out of the log.
#include <string_view>

namespace vellumo::syncd {

enum class LogLevel { kDebug = 0, kInfo = 1, kWarning = 2, kError = 3, kQuiet = 4 };

void SetLogLevel(LogLevel level) noexcept;
void Log(LogLevel level, std::string_view message);

}  // namespace vellumo::syncd
