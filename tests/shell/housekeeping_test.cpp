#include "shell/housekeeping.h"

#include <gtest/gtest.h>

namespace vellumo::shell {
namespace {

TEST(Housekeeping, FirstTickRunsBothThenEachOnItsOwnPeriod) {
  HousekeepingClock clock;
  const std::uint32_t start = 1000;
  HousekeepingDue due = clock.Step(start);
  EXPECT_TRUE(due.releaseViews);
  EXPECT_TRUE(due.backupCheck) << "the first tick checks the backup";

  struct Step {
    std::uint32_t at;
    bool releaseViews, backupCheck;
  };
  const Step steps[] = {
      {start + 40, false, false},          // within 5 s: nothing is even looked at
      {start + 5001, false, false},        // a 5 s check, nothing due yet
      {start + 90001, true, false},        // the 90 s view release
      {start + 180002, true, false},       // and again 90 s later
      {start + 3600001, true, true},       // the hourly backup check
      {start + 3605002, false, false},
  };
  for (const Step& s : steps) {
    due = clock.Step(s.at);
    EXPECT_EQ(due.releaseViews, s.releaseViews) << s.at;
    EXPECT_EQ(due.backupCheck, s.backupCheck) << s.at;
  }
}

TEST(Housekeeping, ChecksGoOnAcrossTheTickCountWrap) {
  // Both starting points matter: a first tick late in the tick range, and
  // deadlines set just before the count wraps to 0.
  for (const std::uint32_t start : {0x90000000u, 0xFFFFFFFFu - 100000u}) {
    SCOPED_TRACE(start);
    HousekeepingClock clock;
    HousekeepingDue due = clock.Step(start);
    EXPECT_TRUE(due.releaseViews && due.backupCheck) << "the first tick runs both";
    int releases = 0, backups = 0;
    // Three hours of ticks every 40 ms, across the wrap for the second start.
    for (std::uint32_t t = 40; t <= 10800000; t += 40) {
      due = clock.Step(start + t);
      releases += due.releaseViews;
      backups += due.backupCheck;
    }
    EXPECT_EQ(backups, 2) << "the hourly check keeps running";
    EXPECT_GE(releases, 115) << "about every 90 s";
    EXPECT_LE(releases, 120);
  }
}

}  // namespace
}  // namespace vellumo::shell
