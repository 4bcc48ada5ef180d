// What a killed run leaves behind and the next run removes. Compacting the template writes a
// temporary copy beside it, named by the time of day (1 to 5 digits and ".mdb", see
// MasterDataCreator::CompactionFileName), and SQLite may keep a journal of that copy ("-journal",
// "-wal", "-shm"); a run killed during the compaction leaves them, and no later run would reuse
// the name. The next run removes them while it holds the run lock (run_lock.h), when no
// compaction can be going on.
//
// Only regular files directly in the template's folder whose names have exactly that form are
// removed: a folder, a symbolic link or any other name is left alone.
//
// Stateless functions; thread-safe.
#ifndef TQS_MASTERDATA_RUN_LEFTOVERS_H_
#define TQS_MASTERDATA_RUN_LEFTOVERS_H_

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tqs::masterdata {

// Whether `file_name` is one of a compaction's temporary files: 1 to 5 digits, ".mdb", and
// optionally "-journal", "-wal" or "-shm".
bool IsCompactionLeftover(std::string_view file_name);

struct LeftoverRemoval {
  std::vector<std::filesystem::path> removed;  // in name order
  std::vector<std::string> failures;           // "<file>: <reason>" for each that stayed
};

// Removes the compaction leftovers in `folder`. Never raises: what cannot be removed is listed.
LeftoverRemoval RemoveCompactionLeftovers(const std::filesystem::path& folder);

}  // namespace tqs::masterdata

#endif  // TQS_MASTERDATA_RUN_LEFTOVERS_H_
