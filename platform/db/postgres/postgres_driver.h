// The PostgreSQL backend of the data access layer, on libpq. A driver holds one physical
// connection from the process's pool (connection_pool.h) while its Connection is open and
// hands it back on Close.
//
// Statements are prepared on the server once per Connection (the core caches them by SQL text)
// and run with their parameters sent apart from the text. A query's rows arrive when it runs;
// record sets that walk large contents use keyset cursors, which read one row at a time. Rows
// are changed by the table's integer key column (a single-column primary key, or a unique
// not-null integer column): a table without one can be read but not changed by a record set.
// Column types map as pg_types.h says, so values read like those of the same SQLite column.
// Transactions are READ COMMITTED; Transaction::LockName takes a transaction-level advisory lock
// on a hash of the name.
//
// A driver is used by one thread at a time, like its connection.
#ifndef TQS_PLATFORM_DB_POSTGRES_POSTGRES_DRIVER_H_
#define TQS_PLATFORM_DB_POSTGRES_POSTGRES_DRIVER_H_

#include <memory>

#include "platform/db/internal/driver.h"
#include "platform/db/postgres/connection_pool.h"

namespace tqs::db::postgres {

struct OpenOptions {
  ServerAddress address;
  // Creates the database, and the first schema of the search path, when missing (the user
  // needs the right to create them); otherwise a missing one raises the server's error.
  bool create_missing = false;
};

std::unique_ptr<internal::Driver> OpenDriver(const OpenOptions& options);

}  // namespace tqs::db::postgres

#endif  // TQS_PLATFORM_DB_POSTGRES_POSTGRES_DRIVER_H_
