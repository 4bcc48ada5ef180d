// ScopedTempDir is a fresh, empty folder under the system's temporary directory for one test,
// removed with everything in it when the object goes away. Not thread-safe; each test makes
// its own.
#ifndef TQS_TESTS_SUPPORT_TEMP_DIR_H_
#define TQS_TESTS_SUPPORT_TEMP_DIR_H_

#include <filesystem>
#include <string_view>

namespace tqs::test_support {

class ScopedTempDir {
 public:
  ScopedTempDir();
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }

  // Writes `content` to the file `name` inside the folder (creating sub-folders) and returns
  // its full path.
  std::filesystem::path WriteFile(const std::filesystem::path& name,
                                  std::string_view content) const;

 private:
  std::filesystem::path path_;
};

}  // namespace tqs::test_support

#endif  // TQS_TESTS_SUPPORT_TEMP_DIR_H_
