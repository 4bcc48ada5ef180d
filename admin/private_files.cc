#include "admin/private_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "common/error.h"

namespace tqs::admin {
namespace fs = std::filesystem;

namespace {

constexpr mode_t kPrivateFileMode = 0600;
constexpr mode_t kPrivateFolderMode = 0700;

Error FileError(const fs::path& path, const char* step) {
  return Error(error_number::kPathNotFound,
               std::string("Cannot ") + step + " '" + path.string() + "': " + std::strerror(errno));
}

}  // namespace

void WritePrivateFile(const fs::path& file, std::string_view content) {
  // Created with the private mode, so the secret is never readable by others, not even for a
  // moment; fchmod narrows a file that existed before and ignores the umask.
  const int descriptor =
      ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, kPrivateFileMode);
  if (descriptor < 0) throw FileError(file, "create");
  bool written = ::fchmod(descriptor, kPrivateFileMode) == 0;
  for (std::size_t done = 0; written && done < content.size();) {
    const ssize_t n = ::write(descriptor, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    written = n > 0;
    if (written) done += static_cast<std::size_t>(n);
  }
  const int saved = errno;
  if (::close(descriptor) != 0 || !written) {
    if (!written) errno = saved;
    throw FileError(file, "write");
  }
}

void MakePrivateFolder(const fs::path& folder) {
  std::error_code error;
  fs::create_directories(folder, error);
  if (error || ::chmod(folder.c_str(), kPrivateFolderMode) != 0) {
    if (error) errno = error.value();
    throw FileError(folder, "make private the folder");
  }
}

void MakeDatabaseFilePrivate(const fs::path& file) {
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
    const fs::path path = fs::path(file) += suffix;
    if (::chmod(path.c_str(), kPrivateFileMode) != 0 && (errno != ENOENT || *suffix == '\0')) {
      throw FileError(path, "make private the database file");
    }
  }
}

}  // namespace tqs::admin
