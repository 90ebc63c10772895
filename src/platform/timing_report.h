#pragma once
// For measurements of the running program: how long one operation took,
// appended as "NAME MICROSECONDS" to the file VELLUMO_TIMING_FILE names.
// Nothing is measured or written when the variable is not set.
#include <chrono>
#include <string_view>

namespace vellumo::platform {

class TimingReport {
 public:
  explicit TimingReport(std::string_view name);
  ~TimingReport();
  TimingReport(const TimingReport&) = delete;
  TimingReport& operator=(const TimingReport&) = delete;

 private:
  std::string_view name_;
  bool active_;
  std::chrono::steady_clock::time_point start_;
};

// For events timed across processes (one program saves, another receives):
// appends "NAME MICROSECONDS" with the wall-clock time since 1970.
void ReportTimingMoment(std::string_view name);

}  // namespace vellumo::platform
