#include "admin/backup.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>

#include "common/error.h"

namespace tqs::admin {
namespace fs = std::filesystem;

namespace {

// Pages per backup step: small enough to show progress, large enough to be quick.
constexpr int kPagesPerStep = 1024;
constexpr int kBusyTimeoutMs = 10000;

Error SystemError(const std::string& what, const fs::path& path) {
  return Error(error_number::kPathNotFound,
               what + " '" + path.string() + "': " + std::strerror(errno));
}

struct CloseDatabase {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Database = std::unique_ptr<sqlite3, CloseDatabase>;

Error DatabaseError(sqlite3* db, const std::string& what, const fs::path& path) {
  return Error(error_number::kGenericFailure,
               what + " '" + path.string() + "': " + (db ? sqlite3_errmsg(db) : "out of memory"));
}

Database OpenDatabase(const fs::path& file, const char* what) {
  sqlite3* db = nullptr;
  // Never created here: a mistyped source must not become a new empty database.
  const int rc = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
  Database owned(db);
  if (rc != SQLITE_OK) throw DatabaseError(db, std::string("Cannot open ") + what, file);
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  return owned;
}

void Run(sqlite3* db, const char* sql, const fs::path& file) {
  if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
    throw DatabaseError(db, std::string("'") + sql + "' failed on", file);
  }
}

// The single text or number that `sql` yields, "" when it yields no row.
std::string Scalar(sqlite3* db, const char* sql, const fs::path& file) {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) {
    throw DatabaseError(db, std::string("'") + sql + "' failed on", file);
  }
  std::string value;
  const int rc = sqlite3_step(statement);
  if (rc == SQLITE_ROW) {
    const unsigned char* text = sqlite3_column_text(statement, 0);
    if (text != nullptr) value = reinterpret_cast<const char*>(text);
  }
  sqlite3_finalize(statement);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
    throw DatabaseError(db, std::string("'") + sql + "' failed on", file);
  }
  return value;
}

void SyncFile(const fs::path& path, int flags) {
  const int descriptor = ::open(path.c_str(), flags | O_CLOEXEC);
  if (descriptor < 0) throw SystemError("Cannot open", path);
  const bool synced = ::fsync(descriptor) == 0;
  const int saved = errno;
  ::close(descriptor);
  errno = saved;
  if (!synced) throw SystemError("Cannot write to disk", path);
}

// The temporary copy in the destination's folder; removed with its companions unless kept.
class TemporaryCopy {
 public:
  explicit TemporaryCopy(const fs::path& destination) {
    std::string pattern =
        (destination.parent_path() / ("." + destination.filename().string() + ".tmp-XXXXXX"))
            .string();
    // mkstemp creates the file readable and writable by the owner only.
    const int descriptor = ::mkstemp(pattern.data());
    if (descriptor < 0) throw SystemError("Cannot create a file in", destination.parent_path());
    ::fchmod(descriptor, 0600);
    ::close(descriptor);
    path_ = pattern;
  }
  TemporaryCopy(const TemporaryCopy&) = delete;
  TemporaryCopy& operator=(const TemporaryCopy&) = delete;
  ~TemporaryCopy() {
    if (kept_) return;
    std::error_code ignored;
    for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
      fs::remove(fs::path(path_) += suffix, ignored);
    }
  }

  const fs::path& path() const { return path_; }
  void Keep() { kept_ = true; }

 private:
  fs::path path_;
  bool kept_ = false;
};

// Copies every page of `source` into `copy` from one read transaction of `source`, so that
// writers committing meanwhile neither change the copy nor make the backup start over.
void CopyPages(sqlite3* source, sqlite3* copy, const fs::path& source_file,
               const fs::path& copy_file,
               const std::function<void(int copied, int total)>& progress) {
  Run(source, "BEGIN", source_file);
  Scalar(source, "SELECT COUNT(*) FROM sqlite_schema", source_file);  // the snapshot starts here
  sqlite3_backup* backup = sqlite3_backup_init(copy, "main", source, "main");
  if (backup == nullptr) {
    sqlite3_exec(source, "ROLLBACK", nullptr, nullptr, nullptr);
    throw DatabaseError(copy, "Cannot start the copy into", copy_file);
  }
  int rc = SQLITE_OK;
  while (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
    rc = sqlite3_backup_step(backup, kPagesPerStep);
    if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } else if (progress && (rc == SQLITE_OK || rc == SQLITE_DONE)) {
      const int total = sqlite3_backup_pagecount(backup);
      progress(total - sqlite3_backup_remaining(backup), total);
    }
  }
  sqlite3_backup_finish(backup);
  sqlite3_exec(source, "ROLLBACK", nullptr, nullptr, nullptr);
  if (rc != SQLITE_DONE) {
    throw Error(error_number::kGenericFailure, "Copying '" + source_file.string() + "' to '" +
                                                   copy_file.string() +
                                                   "' failed: " + sqlite3_errstr(rc));
  }
}

// Makes the copy one self-contained file and checks it; returns its CLIENTSERVERINTERACTION
// rows, or -1 when it has no such table.
std::int64_t FinishAndCheck(sqlite3* copy, const fs::path& file) {
  // The copy took the source's WAL mode; a backup file must not need a log beside it.
  if (Scalar(copy, "PRAGMA journal_mode=DELETE", file) != "delete") {
    throw Error(error_number::kGenericFailure,
                "The copy '" + file.string() + "' cannot leave write-ahead-log mode");
  }
  const std::string check = Scalar(copy, "PRAGMA integrity_check", file);
  if (check != "ok") {
    throw Error(error_number::kGenericFailure,
                "The copy '" + file.string() + "' failed its integrity check: " + check);
  }
  if (Scalar(copy,
             "SELECT COUNT(*) FROM sqlite_schema WHERE type = 'table' AND "
             "upper(name) = 'CLIENTSERVERINTERACTION'",
             file) == "0") {
    return -1;
  }
  return std::stoll(Scalar(copy, "SELECT COUNT(*) FROM CLIENTSERVERINTERACTION", file));
}

// Puts the checked copy in place: over an existing destination only when asked to.
void MoveIntoPlace(const fs::path& copy, const fs::path& destination, bool overwrite) {
  const int rc = overwrite ? ::rename(copy.c_str(), destination.c_str())
                           : ::renameat2(AT_FDCWD, copy.c_str(), AT_FDCWD, destination.c_str(),
                                         RENAME_NOREPLACE);
  if (rc != 0) {
    if (errno == EEXIST) {
      throw Error(error_number::kOperationNotAllowed,
                  "'" + destination.string() +
                      "' appeared while the copy was made; it is kept (give --overwrite to "
                      "replace it)");
    }
    throw SystemError("Cannot rename the copy to", destination);
  }
}

std::string ShellQuoted(std::string_view text) {
  const bool plain = !text.empty() && text.find_first_not_of(
                                          "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                          "0123456789@%+=:,./_-") == std::string_view::npos;
  if (plain) return std::string(text);
  std::string quoted = "'";
  for (const char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

}  // namespace

BackupReport BackUpSqliteDatabase(const fs::path& database_file, const fs::path& destination,
                                  bool overwrite,
                                  const std::function<void(int copied, int total)>& progress) {
  const fs::path target = fs::absolute(destination);
  std::error_code error;
  if (!fs::is_regular_file(database_file, error)) {
    throw Error(error_number::kFileNotFound,
                "The database file '" + database_file.string() + "' does not exist");
  }
  if (fs::exists(target, error)) {
    if (fs::equivalent(database_file, target, error)) {
      throw Error(error_number::kOperationNotAllowed,
                  "The backup cannot replace the database itself ('" + target.string() + "')");
    }
    if (!overwrite) {
      throw Error(error_number::kOperationNotAllowed,
                  "'" + target.string() + "' exists; it is kept (give --overwrite to replace it)");
    }
    if (fs::is_directory(target, error)) {
      throw Error(error_number::kOperationNotAllowed,
                  "'" + target.string() + "' is a folder; name the backup file");
    }
  }
  if (!fs::is_directory(target.parent_path(), error)) {
    throw Error(error_number::kPathNotFound,
                "The folder '" + target.parent_path().string() + "' does not exist");
  }

  TemporaryCopy copy(target);
  BackupReport report;
  {
    const Database source = OpenDatabase(database_file, "the database");
    const Database destination_db = OpenDatabase(copy.path(), "the copy");
    CopyPages(source.get(), destination_db.get(), database_file, copy.path(), progress);
    report.interaction_rows = FinishAndCheck(destination_db.get(), copy.path());
  }
  SyncFile(copy.path(), O_RDONLY);
  MoveIntoPlace(copy.path(), target, overwrite);
  copy.Keep();
  // The rename is durable only once the folder is on disk too.
  SyncFile(target.parent_path(), O_RDONLY | O_DIRECTORY);
  report.file = target;
  report.bytes = fs::file_size(target);
  return report;
}

std::string PgDumpCommand(const db::ConnectionString& connection, const fs::path& destination) {
  std::string command = "pg_dump";
  for (const auto& [key, option] : {std::pair<const char*, const char*>{"Host", "--host="},
                                    {"Port", "--port="},
                                    {"User ID", "--username="}}) {
    if (const auto value = connection.Find(key); value && !value->empty()) {
      command += " " + ShellQuoted(option + *value);
    }
  }
  command += " --format=custom";
  command += " " + ShellQuoted("--file=" + fs::absolute(destination).string());
  command += " " + ShellQuoted("--dbname=" + connection.Require("Database"));
  return command;
}

}  // namespace tqs::admin
