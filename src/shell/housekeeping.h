#pragma once
// The timer's housekeeping schedule: every 5 s it looks whether the 90 s view
// release or the hourly backup check is due.  All three deadlines start at 0,
// so both run on the first tick.  Tick values wrap like GetTickCount.
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
    if (!(nowMs > next5s_)) return due;
    next5s_ = nowMs + kCheckEveryMs;
    if (nowMs > next90s_) {
      next90s_ = nowMs + kReleaseViewsEveryMs;
      due.releaseViews = true;
    }
    if (nowMs > nextHour_) {
      nextHour_ = nowMs + kBackupCheckEveryMs;
      due.backupCheck = true;
    }
    return due;
  }

 private:
  std::uint32_t next5s_ = 0;
  std::uint32_t next90s_ = 0;
  std::uint32_t nextHour_ = 0;
};

}  // namespace vellumo::shell
