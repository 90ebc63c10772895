#pragma once
// The timer's housekeeping schedule: every 5 s it looks whether the 90 s view
// release or the hourly backup check is due; both run on the first tick.
//
// Tick values wrap every 49.7 days like GetTickCount.  Deadlines are compared
// by the signed distance to them, so that a deadline set just before the
// wrap is still reached just after it; a plain unsigned comparison would
// stop both checks, and with them the automatic backups, for 49 days.
#include <cstdint>

namespace vellumo::shell {

struct HousekeepingDue {
  bool releaseViews = false;
  bool backupCheck = false;
};

class HousekeepingClock {
 public:
  static constexpr std::uint32_t kCheckEveryMs = 5000;
  static constexpr std::uint32_t kReleaseViewsEveryMs = 90000;
  static constexpr std::uint32_t kBackupCheckEveryMs = 3600000;

  HousekeepingDue Step(std::uint32_t nowMs) {
    HousekeepingDue due;
    if (started_ && !Passed(nowMs, next5s_)) return due;
    next5s_ = nowMs + kCheckEveryMs;
    if (!started_ || Passed(nowMs, next90s_)) {
      next90s_ = nowMs + kReleaseViewsEveryMs;
      due.releaseViews = true;
    }
    if (!started_ || Passed(nowMs, nextHour_)) {
      nextHour_ = nowMs + kBackupCheckEveryMs;
      due.backupCheck = true;
    }
    started_ = true;
    return due;
  }

 private:
  static bool Passed(std::uint32_t now, std::uint32_t deadline) {
    return static_cast<std::int32_t>(now - deadline) > 0;
  }

  bool started_ = false;
  std::uint32_t next5s_ = 0;
  std::uint32_t next90s_ = 0;
  std::uint32_t nextHour_ = 0;
};

}  // namespace vellumo::shell
