#include "masterdata/run_lock.h"

#include "masterdata/output_layout.h"

namespace tqs::masterdata {

std::filesystem::path RunLockFile(std::string_view application_folder) {
  const std::filesystem::path folder = OnDisk(application_folder);
  std::error_code error;
  const std::filesystem::path resolved = std::filesystem::canonical(folder, error);
  return (error ? folder : resolved) / kRunLockFileName;
}

std::unique_ptr<FileLock> TryAcquireRunLock(std::string_view application_folder) {
  return FileLock::TryAcquire(RunLockFile(application_folder), "The master data run lock file");
}

std::string AnotherRunInProgress(const std::filesystem::path& lock_file) {
  const std::optional<int> holder = FileLock::HolderOf(lock_file);
  return "Another master data run is in progress" +
         (holder ? " (process " + std::to_string(*holder) + ")" : std::string()) +
         "; this run did not start.";
}

}  // namespace tqs::masterdata
