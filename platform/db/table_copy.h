// Filling a table of one database with the rows that a query selects from another, inside the
// database engine when it can: for two embedded database files the engine copies the rows
// itself (INSERT INTO ... SELECT over the attached target), which is several times faster than
// reading every row into Variants and adding it through a record set.
//
// The copy gives the target exactly what the row-by-row copy through record sets would give it:
// field i of the query goes into column i of the table (whatever the names), and every value is
// stored as reading it into a Variant (by the query column's declared type) and writing that
// Variant back stores it: integers beyond 32 bits as reals, binary values as text, a text in a
// DATE/DATETIME/TIMESTAMP column that reads as a date in its normal form.
//
// Stateless; thread-safe as long as each thread copies into its own target.
#ifndef TQS_PLATFORM_DB_TABLE_COPY_H_
#define TQS_PLATFORM_DB_TABLE_COPY_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tqs::db {

struct TableCopy {
  std::string_view source_connection_string;
  std::string_view select_sql;  // as the programs write it (N'...' literals included)
  std::string_view target_connection_string;
  std::string_view table;  // a table of the target, as written in SQL
  // Called with the number of rows copied so far after every `rows_between_progress` rows,
  // before the next row is copied (not for the last row: the caller reports the end). An
  // exception it raises stops the copy (rolled back) and is raised again by ReplaceRowsInEngine.
  std::int64_t rows_between_progress = 0;
  std::function<void(std::int64_t rows)> progress;
};

// Empties `copy.table` and fills it with the selected rows, both in one transaction of the
// target, and returns the number of rows copied. Returns std::nullopt, having changed nothing,
// when the engine cannot do the copy: a database is not an embedded file (or cannot be
// opened), the query does not compile as a single query on the source, the table is missing,
// or the query has more fields than the table has columns; the caller then copies row by row,
// which reports those faults as it always does. A failure of the copy itself (a constraint, a
// full disk) rolls the transaction back and raises tqs::Error with the engine's message.
std::optional<std::int64_t> ReplaceRowsInEngine(const TableCopy& copy);

}  // namespace tqs::db

#endif  // TQS_PLATFORM_DB_TABLE_COPY_H_
