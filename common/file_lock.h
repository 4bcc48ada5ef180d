// A FileLock is an exclusive, non-waiting lock on a file, for keeping two processes (or two
// parts of one process) from doing the same work at once: the broker's processing pass, one
// master data run per installation. It is a flock(2) on the file, so the system releases it
// when the holder's process ends, however it ends: a killed holder never blocks the next one.
// The file is created when missing and stays when the lock is released; while held it contains
// the holder's process id, so that a refused caller can say who holds it.
//
// Each TryAcquire opens the file anew, so a second lock on the same file is refused also
// within one process. Not thread-safe: one thread uses a lock object.
#ifndef TQS_COMMON_FILE_LOCK_H_
#define TQS_COMMON_FILE_LOCK_H_

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tqs {

class FileLock {
 public:
  ~FileLock();  // releases the lock; never raises
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Takes the lock on `file` without waiting. Returns nullptr when another holder has it.
  // Raises tqs::Error "<what> '<file>' cannot be opened|locked: <reason>" when the lock cannot
  // be tried at all (no such folder, no permission); `what` names the file for the operator
  // ("The processing pass lock file").
  static std::unique_ptr<FileLock> TryAcquire(const std::filesystem::path& file,
                                              std::string_view what);

  // The process id that the holder of the lock on `file` wrote into it; none when the file
  // cannot be read or holds no number (for example while the holder is still writing it).
  static std::optional<int> HolderOf(const std::filesystem::path& file);

  const std::filesystem::path& path() const { return path_; }

 private:
  FileLock(std::filesystem::path path, int descriptor);

  const std::filesystem::path path_;
  const int descriptor_;
};

}  // namespace tqs

#endif  // TQS_COMMON_FILE_LOCK_H_
