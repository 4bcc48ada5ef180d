// The run lock keeps two master data runs of one installation apart. Two runs at once would
// both compact the template, write the same centre databases and archives, and truncate and
// interleave one run log. A run takes the lock before it opens its log and holds it to its end;
// a run that cannot take it leaves everything alone, the running run's log included.
//
// The lock is a FileLock (common/file_lock.h) on "ClientDatabase.mdb-run.lock" beside the
// template in the program folder, named after the folder's resolved path, so the same
// installation reached through a symbolic link has the same lock. The system releases it when
// the run's process ends, so a killed run never blocks the next one.
//
// Stateless functions; thread-safe.
#ifndef TQS_MASTERDATA_RUN_LOCK_H_
#define TQS_MASTERDATA_RUN_LOCK_H_

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "common/file_lock.h"

namespace tqs::masterdata {

inline constexpr std::string_view kRunLockFileName = "ClientDatabase.mdb-run.lock";

// The lock file of the installation whose program folder is the Windows-style
// `application_folder`.
std::filesystem::path RunLockFile(std::string_view application_folder);

// Takes the run lock without waiting; nullptr when another run holds it. Raises tqs::Error when
// the lock file cannot be opened or locked (see FileLock).
std::unique_ptr<FileLock> TryAcquireRunLock(std::string_view application_folder);

// What a run that found the lock taken says: "Another master data run is in progress (process
// N); this run did not start." (without the process when the lock file does not name it).
std::string AnotherRunInProgress(const std::filesystem::path& lock_file);

}  // namespace tqs::masterdata

#endif  // TQS_MASTERDATA_RUN_LOCK_H_
