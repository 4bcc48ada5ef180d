// Backing up the server database while the HTTP host and the broker keep writing to it.
//
// SQLite: BackUpSqliteDatabase copies the database file with SQLite's online backup API, page
// batch by page batch, all of it from one read transaction: the copy is the database as it was
// at one moment, and in WAL mode the writers go on meanwhile. The copy is written under a
// temporary name in the destination's folder (mode 0600 from its creation: it holds every
// engineer's documents), made a self-contained file (no write-ahead log beside it), checked with
// PRAGMA integrity_check, flushed to disk and only then renamed to the destination, so a
// destination that exists is always a complete, checked copy. An existing destination is kept
// unless overwriting is asked for.
//
// PostgreSQL: the database server has its own tool; PgDumpCommand says how to call it for the
// installation's database (the password is never part of it).
//
// Functions on the file system and the database; thread-safe as those are.
#ifndef TQS_ADMIN_BACKUP_H_
#define TQS_ADMIN_BACKUP_H_

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "platform/db/connection_string.h"

namespace tqs::admin {

struct BackupReport {
  std::filesystem::path file;          // the finished copy
  std::uintmax_t bytes = 0;            // its size
  std::int64_t interaction_rows = -1;  // rows of CLIENTSERVERINTERACTION in it; -1: no table
};

// Copies the SQLite database `database_file` to `destination`. `progress` hears the pages
// copied so far and the pages in all. Raises tqs::Error naming the file and the reason (a
// destination that exists without `overwrite`, a source that is not a database, a copy that
// fails its check, a full disk); the temporary copy is removed then and the destination is
// left as it was.
BackupReport BackUpSqliteDatabase(const std::filesystem::path& database_file,
                                  const std::filesystem::path& destination, bool overwrite,
                                  const std::function<void(int copied, int total)>& progress = {});

// The pg_dump command line (shell-quoted) that writes the PostgreSQL database of `connection`
// to `destination` in pg_dump's custom format, for pg_restore. Raises tqs::Error when the
// connection string names no database.
std::string PgDumpCommand(const db::ConnectionString& connection,
                          const std::filesystem::path& destination);

}  // namespace tqs::admin

#endif  // TQS_ADMIN_BACKUP_H_
