#include "platform/timing_report.h"

#include <cstdio>
#include <cstdlib>

namespace vellumo::platform {

namespace {
const char* ReportPath() { return std::getenv("VELLUMO_TIMING_FILE"); }
}  // namespace

TimingReport::TimingReport(std::string_view name)
    : name_(name), active_(ReportPath() != nullptr), start_(active_ ? std::chrono::steady_clock::now() : std::chrono::steady_clock::time_point{}) {}

TimingReport::~TimingReport() {
  if (!active_) return;
  const auto elapsed =
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start_).count();
  const char* path = ReportPath();
  if (!path) return;
  if (std::FILE* file = std::fopen(path, "a")) {
    std::fprintf(file, "%.*s %lld\n", static_cast<int>(name_.size()), name_.data(), static_cast<long long>(elapsed));
    std::fclose(file);
  }
}

void ReportTimingMoment(std::string_view name) {
  const char* path = ReportPath();
  if (!path) return;
  const auto now =
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch()).count();
  if (std::FILE* file = std::fopen(path, "a")) {
    std::fprintf(file, "%.*s %lld\n", static_cast<int>(name.size()), name.data(), static_cast<long long>(now));
    std::fclose(file);
  }
}

}  // namespace vellumo::platform
