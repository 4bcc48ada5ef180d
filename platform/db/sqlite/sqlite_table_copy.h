// The SQLite side of the in-engine table copy (platform/db/table_copy.h): the source file is
// opened, the target file attached to it, and the engine copies the rows in one statement,
// every value passed through as the source holds it. An authorizer lets the copy's statements
// change the attached target only, never the source.
//
// Stateless; thread-safe as long as each thread copies into its own target.
#ifndef TQS_PLATFORM_DB_SQLITE_SQLITE_TABLE_COPY_H_
#define TQS_PLATFORM_DB_SQLITE_SQLITE_TABLE_COPY_H_

#include <cstdint>
#include <optional>

#include "platform/db/sqlite/sqlite_driver.h"
#include "platform/db/table_copy.h"

namespace tqs::db::sqlite {

// `source` and `target` name existing files (create_missing is ignored). Returns the number of
// rows copied, or std::nullopt, having changed nothing, when the engine cannot take the copy:
// a file is missing or cannot be opened, the query does not compile as one read-only query
// with fields, the table is missing, or the query has more fields than the table has columns
// (the copy through statements then reports what is wrong). A failure of the copy itself rolls
// the target back and raises tqs::Error with the engine's message, or the exception of the
// progress callback.
std::optional<std::int64_t> ReplaceRowsBetweenFiles(const OpenOptions& source,
                                                    const OpenOptions& target,
                                                    const TableCopy& copy);

}  // namespace tqs::db::sqlite

#endif  // TQS_PLATFORM_DB_SQLITE_SQLITE_TABLE_COPY_H_
