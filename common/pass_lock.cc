#include "common/pass_lock.h"

#include <exception>
#include <filesystem>
#include <string>

#include "common/file_lock.h"
#include "platform/db/connection_string.h"
#include "platform/db/recordset.h"

namespace tqs {

namespace {

// The advisory lock's key: the same for every broker of one server database. Advisory locks
// belong to the whole PostgreSQL database, which may hold several server databases in schemas
// of their own (the Search Path), so the key names the schema the tables are found in.
constexpr std::string_view kAdvisoryKey =
    "hashtextextended('TQSRemoteBroker processing pass in ' || current_schema(), 0)";
constexpr std::string_view kLockFileSuffix = "-broker.lock";

// A session-level advisory lock, held by the broker's connection. Shared and exclusive holders
// of the one key exclude each other as a reader-writer lock does.
class AdvisoryPassLock final : public PassLock {
 public:
  AdvisoryPassLock(db::Connection& connection, Mode mode) : connection_(connection), mode_(mode) {}

  ~AdvisoryPassLock() override {
    try {
      auto rs = db::Recordset::Open(
          "SELECT " + Function("pg_advisory_unlock", mode_) + " AS RELEASED", connection_);
      rs->Close();
    } catch (const std::exception&) {
      // A connection that is gone took the lock with it.
    }
  }

  static std::unique_ptr<PassLock> TryAcquire(db::Connection& connection, Mode mode) {
    auto rs = db::Recordset::Open(
        "SELECT " + Function("pg_try_advisory_lock", mode) + " AS ACQUIRED", connection);
    const bool acquired = rs->Field("ACQUIRED").AsBoolean();
    rs->Close();
    if (!acquired) return nullptr;
    return std::make_unique<AdvisoryPassLock>(connection, mode);
  }

 private:
  // "<name>(key)" or "<name>_shared(key)".
  static std::string Function(std::string_view name, Mode mode) {
    return std::string(name) + (mode == Mode::kShared ? "_shared(" : "(") +
           std::string(kAdvisoryKey) + ")";
  }

  db::Connection& connection_;
  const Mode mode_;
};

// The database file's path with every symbolic link, "." and ".." resolved, so that every way of
// naming one database file leads to one lock file. A file that does not exist (yet) keeps the
// path as given: the connection would create it there.
std::string ResolvedPath(const std::string& database_file) {
  std::error_code error;
  const std::filesystem::path resolved = std::filesystem::canonical(database_file, error);
  return error ? database_file : resolved.string();
}

// An exclusive lock on a file beside the database file.
class FilePassLock final : public PassLock {
 public:
  explicit FilePassLock(std::unique_ptr<FileLock> lock) : lock_(std::move(lock)) {}

  static std::unique_ptr<PassLock> TryAcquire(const std::string& database_file) {
    std::unique_ptr<FileLock> lock =
        FileLock::TryAcquire(ResolvedPath(database_file) + std::string(kLockFileSuffix),
                             "The processing pass lock file");
    if (lock == nullptr) return nullptr;
    return std::make_unique<FilePassLock>(std::move(lock));
  }

 private:
  const std::unique_ptr<FileLock> lock_;
};

}  // namespace

std::unique_ptr<PassLock> PassLock::TryAcquire(std::string_view connection_string,
                                               db::Connection& connection, Mode mode) {
  const db::ConnectionString parsed = db::ConnectionString::Parse(connection_string);
  if (parsed.provider() == db::ProviderKind::kPostgreSql) {
    return AdvisoryPassLock::TryAcquire(connection, mode);
  }
  // One process per database file: the workers of a pass share its one lock.
  return FilePassLock::TryAcquire(parsed.Require("Data Source"));
}

}  // namespace tqs
