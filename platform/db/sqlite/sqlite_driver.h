// The SQLite backend of the data access layer: one database file per connection. Server
// databases run in write-ahead-log mode so that the server component and the broker can work
// on one file at once and readers never block the writer; client databases (the stand-ins for
// Jet files, which are copied and packed as single files) keep the rollback journal so the
// file is always self-contained. Both use synchronous=FULL, so a committed row survives a
// power loss, and wait up to 30 s for a lock held by another process.
//
// A driver is used by one thread at a time, like its connection.
#ifndef TQS_PLATFORM_DB_SQLITE_SQLITE_DRIVER_H_
#define TQS_PLATFORM_DB_SQLITE_SQLITE_DRIVER_H_

#include <memory>
#include <string>

#include "platform/db/internal/driver.h"

namespace tqs::db::sqlite {

enum class FileRole {
  kServerDatabase,  // write-ahead log
  kClientDatabase,  // rollback journal, self-contained file
};

struct OpenOptions {
  std::string path;  // used as given
  FileRole role = FileRole::kServerDatabase;
  bool create_missing = false;  // otherwise a missing file raises an error naming it
};

std::unique_ptr<internal::Driver> OpenDriver(const OpenOptions& options);

}  // namespace tqs::db::sqlite

#endif  // TQS_PLATFORM_DB_SQLITE_SQLITE_DRIVER_H_
