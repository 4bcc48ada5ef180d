// The SQLite side of ReplaceRowsInEngine (platform/db/table_copy.h): the source file is opened,
// the target file attached to it, and the engine copies the rows in one statement.
//
// Stateless; thread-safe as long as each thread copies into its own target.
#ifndef TQS_PLATFORM_DB_SQLITE_SQLITE_TABLE_COPY_H_
#define TQS_PLATFORM_DB_SQLITE_SQLITE_TABLE_COPY_H_

#include <cstdint>
#include <optional>

#include "platform/db/sqlite/sqlite_driver.h"
#include "platform/db/table_copy.h"

namespace tqs::db::sqlite {

// `source` and `target` name existing files (create_missing is ignored). See
// ReplaceRowsInEngine for the result.
std::optional<std::int64_t> ReplaceRowsBetweenFiles(const OpenOptions& source,
                                                    const OpenOptions& target,
                                                    const TableCopy& copy);

}  // namespace tqs::db::sqlite

#endif  // TQS_PLATFORM_DB_SQLITE_SQLITE_TABLE_COPY_H_
