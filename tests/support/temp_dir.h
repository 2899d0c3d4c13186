// A fresh directory for one test, removed with everything in it afterwards.
#ifndef VELORA_TESTS_SUPPORT_TEMP_DIR_H_
#define VELORA_TESTS_SUPPORT_TEMP_DIR_H_

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <system_error>

namespace velora::test {

class TempDir {
 public:
  TempDir() {
    static std::atomic<int> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = std::filesystem::temp_directory_path() /
            ("velora_test_" + std::to_string(stamp) + "_" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  std::string path() const { return path_.string(); }
  // The same as the platform's own path (wide on Windows).
  const std::filesystem::path& folder() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace velora::test

#endif  // VELORA_TESTS_SUPPORT_TEMP_DIR_H_
