#include "masterdata/run_leftovers.h"

#include <algorithm>
#include <array>
#include <system_error>

namespace tqs::masterdata {

bool IsCompactionLeftover(std::string_view file_name) {
  const std::size_t digits = std::min(file_name.find_first_not_of("0123456789"), file_name.size());
  if (digits == 0 || digits > 5) return false;
  std::string_view rest = file_name.substr(digits);
  constexpr std::string_view kExtension = ".mdb";
  if (rest.substr(0, kExtension.size()) != kExtension) return false;
  rest.remove_prefix(kExtension.size());
  constexpr std::array<std::string_view, 4> kSuffixes = {"", "-journal", "-wal", "-shm"};
  return std::find(kSuffixes.begin(), kSuffixes.end(), rest) != kSuffixes.end();
}

LeftoverRemoval RemoveCompactionLeftovers(const std::filesystem::path& folder) {
  namespace fs = std::filesystem;
  std::vector<fs::path> candidates;
  std::error_code error;
  for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
       entry.increment(error)) {
    if (!IsCompactionLeftover(entry->path().filename().string())) continue;
    std::error_code status_error;
    // symlink_status: a link is judged itself and never followed.
    if (fs::is_regular_file(entry->symlink_status(status_error))) {
      candidates.push_back(entry->path());
    }
  }
  LeftoverRemoval removal;
  if (error) {
    removal.failures.push_back(folder.string() + ": " + error.message());
  }
  std::sort(candidates.begin(), candidates.end());
  for (const fs::path& file : candidates) {
    std::error_code remove_error;
    if (fs::remove(file, remove_error)) {
      removal.removed.push_back(file);
    } else if (remove_error) {
      removal.failures.push_back(file.string() + ": " + remove_error.message());
    }
  }
  return removal;
}

}  // namespace tqs::masterdata
