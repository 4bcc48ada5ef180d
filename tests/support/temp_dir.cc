#include "tests/support/temp_dir.h"

#include <unistd.h>

#include <atomic>
#include <fstream>
#include <random>
#include <string>

#include "common/error.h"

namespace tqs::test_support {

ScopedTempDir::ScopedTempDir() {
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = "tqs-test-" + std::to_string(::getpid()) + "-" +
                             std::to_string(counter++) + "-" + std::to_string(random());
    std::error_code error;
    if (std::filesystem::create_directory(base / name, error)) {
      path_ = base / name;
      return;
    }
  }
  throw Error(error_number::kPathNotFound,
              "Cannot create a temporary test folder under " + base.string());
}

ScopedTempDir::~ScopedTempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path ScopedTempDir::WriteFile(const std::filesystem::path& name,
                                               std::string_view content) const {
  const std::filesystem::path file = path_ / name;
  std::filesystem::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!out) throw Error(error_number::kPathNotFound, "Cannot write test file " + file.string());
  return file;
}

}  // namespace tqs::test_support
