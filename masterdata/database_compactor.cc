#include "masterdata/database_compactor.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "common/error.h"
#include "masterdata/settings.h"
#include "platform/db/connection.h"

namespace tqs::masterdata {
namespace {

namespace fs = std::filesystem;

Error CompactionError(const fs::path& database, const std::string& reason) {
  return Error(error_number::kGenericFailure,
               "Cannot compact the database '" + database.string() + "': " + reason);
}

bool IsNumber(const char* name) {
  if (*name == '\0') return false;
  for (; *name != '\0'; ++name) {
    if (*name < '0' || *name > '9') return false;
  }
  return true;
}

// Whether any descriptor in /proc/<pid>/fd refers to the file (device, inode).
bool HoldsOpen(const std::string& pid, dev_t device, ino_t inode) {
  const std::string folder = "/proc/" + pid + "/fd";
  DIR* descriptors = ::opendir(folder.c_str());
  if (descriptors == nullptr) return false;  // gone, or not ours to inspect
  bool holds = false;
  while (const dirent* entry = ::readdir(descriptors)) {
    if (!IsNumber(entry->d_name)) continue;
    struct stat info {};
    if (::stat((folder + "/" + entry->d_name).c_str(), &info) == 0 && info.st_dev == device &&
        info.st_ino == inode) {
      holds = true;
      break;
    }
  }
  ::closedir(descriptors);
  return holds;
}

std::string DescribeHolders(const std::vector<int>& holders) {
  const int self = static_cast<int>(::getpid());
  std::string text;
  for (int pid : holders) {
    if (!text.empty()) text += ", ";
    text += pid == self ? "another connection of this program (process " + std::to_string(pid) + ")"
                        : "process " + std::to_string(pid);
  }
  return text;
}

std::string SqlText(const std::string& value) {
  std::string quoted = "'";
  for (char c : value) {
    quoted += c;
    if (c == '\'') quoted += '\'';
  }
  return quoted + "'";
}

// Makes the file's content (or a folder's entries) durable.
void Sync(const fs::path& path, int flags, const fs::path& database) {
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
  if (fd < 0 || ::fsync(fd) != 0) {
    const std::string reason = std::strerror(errno);
    if (fd >= 0) ::close(fd);
    throw CompactionError(database, "cannot sync '" + path.string() + "': " + reason);
  }
  ::close(fd);
}

// Removes the temporary file on every way out unless the rename consumed it.
class TemporaryFile {
 public:
  explicit TemporaryFile(fs::path path) : path_(std::move(path)) {}
  ~TemporaryFile() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove(path_, ignored);
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  void Release() { path_.clear(); }

 private:
  fs::path path_;
};

}  // namespace

void EraseFreedPages(const fs::path& database) {
  try {
    auto connection =
        db::Connection::Open(std::string(kClientConnectionPrefix) + database.string());
    connection->Execute("PRAGMA secure_delete=ON");
    connection->Execute("VACUUM");
    connection->Close();
  } catch (const Error& error) {
    throw Error(error.number(),
                "Cannot compact the database '" + database.string() + "': " + error.description());
  }
}

std::vector<int> ProcessesHoldingOpen(const fs::path& file) {
  struct stat target {};
  if (::stat(file.c_str(), &target) != 0) return {};
  std::vector<int> holders;
  DIR* processes = ::opendir("/proc");
  if (processes == nullptr) return holders;
  while (const dirent* entry = ::readdir(processes)) {
    if (IsNumber(entry->d_name) && HoldsOpen(entry->d_name, target.st_dev, target.st_ino)) {
      holders.push_back(std::stoi(entry->d_name));
    }
  }
  ::closedir(processes);
  return holders;
}

void DatabaseCompactor::CompactInPlace(const fs::path& database, const fs::path& temporary,
                                       std::string_view old_password,
                                       std::string_view new_password) {
  if (!old_password.empty() || !new_password.empty()) {
    throw CompactionError(database, "client databases have no database password");
  }
  struct stat original {};
  if (::stat(database.c_str(), &original) != 0 || !S_ISREG(original.st_mode)) {
    throw CompactionError(database, "the file does not exist");
  }
  if (const std::vector<int> holders = ProcessesHoldingOpen(database); !holders.empty()) {
    throw CompactionError(database, "it is open in " + DescribeHolders(holders) +
                                        "; it can be compacted only when no one uses it");
  }

  const std::string connection_string = std::string(kClientConnectionPrefix) + database.string();
  // The write lock: readers may go on, no writer can change the file until the copy replaced it.
  auto guard = db::Connection::Open(connection_string);
  guard->BeginTrans();

  TemporaryFile staged(temporary);
  {
    auto copier = db::Connection::Open(connection_string);
    copier->Execute("VACUUM INTO " + SqlText(temporary.string()));
    copier->Close();
  }
  if (::chmod(temporary.c_str(), original.st_mode & 07777) != 0) {
    throw CompactionError(
        database, "cannot set the mode of '" + temporary.string() + "': " + std::strerror(errno));
  }
  Sync(temporary, O_RDONLY, database);
  if (::rename(temporary.c_str(), database.c_str()) != 0) {
    throw CompactionError(
        database, "cannot replace it with '" + temporary.string() + "': " + std::strerror(errno));
  }
  staged.Release();
  const fs::path folder = database.has_parent_path() ? database.parent_path() : fs::path(".");
  Sync(folder, O_RDONLY | O_DIRECTORY, database);
  guard->RollbackTrans();
  guard->Close();
}

}  // namespace tqs::masterdata
