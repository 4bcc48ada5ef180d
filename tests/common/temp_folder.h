// A fresh folder for one test, removed with everything in it when the test ends. Placed under
// $TQS_TEST_TMPDIR when the test runner sets it, else under the system's temporary folder.
#ifndef TQS_TESTS_COMMON_TEMP_FOLDER_H_
#define TQS_TESTS_COMMON_TEMP_FOLDER_H_

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace tqs::testing {

class TempFolder {
 public:
  TempFolder() {
    static std::atomic<int> counter{0};
    const char* base = std::getenv("TQS_TEST_TMPDIR");
    const std::filesystem::path root =
        base != nullptr && *base != '\0' ? std::filesystem::path(base)
                                         : std::filesystem::temp_directory_path();
    path_ = root / ("tqs-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }

  // Writes `content` to the file at `relative` below the folder, creating its folders.
  std::filesystem::path Write(const std::filesystem::path& relative, std::string_view content) const {
    const std::filesystem::path file = path_ / relative;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << content;
    return file;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace tqs::testing

#endif  // TQS_TESTS_COMMON_TEMP_FOLDER_H_
