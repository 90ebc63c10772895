#pragma once
// A fresh directory per test, removed afterwards.
#include <atomic>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace vellumo::testing {

class TempDir {
 public:
  TempDir() {
    static std::atomic<unsigned> counter{0};
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() /
            ("vellumo-test-" + std::to_string(rd()) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

}  // namespace vellumo::testing
